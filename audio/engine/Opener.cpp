#include "engine/Opener.h"

#include <deque>

#include "source/Playlist.h"
#include "source/Url.h"

namespace tembrik::audio::detail {
namespace {

constexpr int kMaxPlaylistDepth = 4;
constexpr int kMaxAttempts = 16;
constexpr std::size_t kSniffBytes = 64;
constexpr std::size_t kMaxPlaylistBytes = 1 << 20;

OpenError fromSource(const source::SourceStatus& s) {
    OpenError e;
    e.detail = s.detail;
    switch (s.failure) {
    case source::Failure::None:
        e.kind = OpenErrorKind::Network;
        if (e.detail.empty())
            e.detail = "no data";
        break;
    case source::Failure::BadAddress:
        e.kind = OpenErrorKind::BadAddress;
        break;
    case source::Failure::Refused:
        e.kind = OpenErrorKind::Refused;
        break;
    case source::Failure::Timeout:
        e.kind = OpenErrorKind::Timeout;
        break;
    case source::Failure::HttpStatus:
        e.kind = OpenErrorKind::HttpStatus;
        e.httpStatus = s.httpStatus;
        break;
    case source::Failure::Network:
        e.kind = OpenErrorKind::Network;
        break;
    case source::Failure::Aborted:
        e.kind = OpenErrorKind::Aborted;
        break;
    }
    return e;
}

} // namespace

OpenedStream openStream(const std::string& url, const OpenContext& context, OpenError& error) {
    error = {};
    if (!source::isHttpUrl(url)) {
        error = {OpenErrorKind::BadAddress, 0, "not an http:// or https:// address"};
        return {};
    }
    const Options& options = context.options;
    std::deque<std::pair<std::string, int>> candidates{{url, 0}};
    bool fromPlaylist = false;
    OpenError last;
    for (int attempts = 0; !candidates.empty() && attempts < kMaxAttempts; ++attempts) {
        auto [address, depth] = candidates.front();
        candidates.pop_front();
        source::HttpRequest request;
        request.url = address;
        request.timeoutMs = std::max(options.connectTimeoutMs, 100);
        request.userAgent = options.userAgent;
        request.proxy = options.proxy;
        auto src = source::HttpSource::start(request, context.threads);
        auto giveUp = [&] {
            src->abort();
            src->waitStopped();
            context.untrack(src);
        };
        if (!context.track(src)) {
            giveUp();
            error = {OpenErrorKind::Aborted, 0, "the engine was freed"};
            return {};
        }
        const auto deadline = source::Clock::now() + std::chrono::milliseconds(request.timeoutMs);
        if (!src->waitForBody(kSniffBytes, deadline)) {
            last = fromSource(src->status());
            giveUp();
            if (last.kind == OpenErrorKind::Aborted)
                break;
            continue;
        }
        source::Response response = src->response();
        if (options.resolvePlaylists) {
            auto kind = source::detectPlaylist(response.contentType, src->peekStart(1024));
            if (kind == source::PlaylistKind::Hls) {
                last = {OpenErrorKind::NotAudio, 0, "an HLS playlist"};
                giveUp();
                continue;
            }
            if (kind != source::PlaylistKind::None) {
                std::string body;
                bool complete = src->readAll(body, kMaxPlaylistBytes, deadline);
                auto status = src->status();
                giveUp();
                if (!complete && src->downloaded() > kMaxPlaylistBytes) {
                    last = {OpenErrorKind::NotAudio, 0,
                            "a playlist larger than " + std::to_string(kMaxPlaylistBytes >> 20) + " MB"};
                    continue;
                }
                if (!complete) {
                    last = status.failure != source::Failure::None
                               ? fromSource(status)
                               : OpenError{OpenErrorKind::Timeout, 0, "playlist incomplete"};
                    if (last.kind == OpenErrorKind::Aborted)
                        break;
                    continue;
                }
                if (source::detectPlaylist(response.contentType, body) == source::PlaylistKind::Hls) {
                    last = {OpenErrorKind::NotAudio, 0, "an HLS playlist"};
                    continue;
                }
                fromPlaylist = true;
                auto entries = source::playlistUrls(kind, body, response.effectiveUrl);
                if (entries.empty())
                    last = {OpenErrorKind::NoPlayableEntry, 0, "empty playlist"};
                if (depth >= kMaxPlaylistDepth && !entries.empty())
                    last = {OpenErrorKind::NoPlayableEntry, 0, "playlists nest too deep"};
                if (depth < kMaxPlaylistDepth) {
                    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
                        candidates.emplace_front(*it, depth + 1);
                }
                continue;
            }
        }
        decode::DecoderConfig config;
        config.outputRate = context.outputRate;
        config.contentType = response.contentType;
        config.deadline = deadline;
        decode::OpenFailure failure = decode::OpenFailure::None;
        std::string detail;
        auto decoder = decode::Decoder::open(src, config, failure, detail);
        if (!decoder) {
            switch (failure) {
            case decode::OpenFailure::Aborted:
                last = {OpenErrorKind::Aborted, 0, detail};
                break;
            case decode::OpenFailure::Timeout:
                last = {OpenErrorKind::Timeout, 0, detail};
                break;
            case decode::OpenFailure::MissingDecoder:
                last = {OpenErrorKind::MissingDecoder, 0, detail};
                break;
            default:
                last = {OpenErrorKind::NotAudio, 0, detail};
                break;
            }
            giveUp();
            if (last.kind == OpenErrorKind::Aborted)
                break;
            continue;
        }
        return {std::move(src), std::move(decoder), std::move(response)};
    }
    if (last.kind == OpenErrorKind::Aborted) {
        error = last;
    } else if (last.kind == OpenErrorKind::NoPlayableEntry) {
        error = last;
    } else if (fromPlaylist) {
        error = {OpenErrorKind::NoPlayableEntry, 0,
                 last.kind == OpenErrorKind::None ? std::string("no entries") : last.text()};
    } else {
        error = last.kind == OpenErrorKind::None ? OpenError{OpenErrorKind::Network, 0, "no data"} : last;
    }
    return {};
}

} // namespace tembrik::audio::detail
