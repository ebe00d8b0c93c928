#include "decode/Decoder.h"

#include <algorithm>
#include <utility>

#include "decode/FfmpegModule.h"
#include "decode/FormatHint.h"
#include "decode/Input.h"
#include "decode/Mpg123Decoder.h"
#include "decode/Sniff.h"
#include "source/HttpSource.h"
#include "tembrik/audio/Trace.h"

namespace tembrik::audio::decode {
namespace {

using source::Clock;
using source::HttpSource;

class SourceInput final : public Input {
public:
    explicit SourceInput(std::shared_ptr<HttpSource> source) : source_(std::move(source)) {}
    long read(char* dst, std::size_t n, std::optional<DecodeClock::time_point> deadline) override {
        const long r = source_->read(dst, n, deadline);
        if (r > 0 || r == HttpSource::kEnd)
            return r;
        return r == HttpSource::kAborted ? kAborted : kTimedOut;
    }
    std::uint64_t consumed() const override { return source_->consumed(); }
    bool finished() const override { return source_->finished(); }
    bool aborted() const override { return source_->aborted(); }

private:
    std::shared_ptr<HttpSource> source_;
};

// Waits until the first bytes say what they are (or the deadline passes).
Sniffed sniffSource(HttpSource& src, Clock::time_point deadline, OpenFailure& failure, std::string& detail) {
    std::size_t want = 4096;
    while (true) {
        const bool more = src.waitForBody(want, deadline);
        const bool complete = src.finished();
        const std::string head = src.peekStart(std::max(want, kSniffWindow * 2));
        Sniffed sniffed = sniffAudio(head, complete);
        if (sniffed.verdict != Sniffed::Verdict::NeedMore)
            return sniffed;
        if (src.aborted()) {
            failure = OpenFailure::Aborted;
            detail = "aborted";
            return sniffed;
        }
        if (!more || Clock::now() >= deadline) {
            failure = OpenFailure::Timeout;
            detail = "no audio within the time-out";
            return sniffed;
        }
        want = head.size() + 1;
    }
}

// Drops the bytes before the first frame (a station may start a listener mid-frame).
bool skip(HttpSource& src, std::size_t count, Clock::time_point deadline) {
    char scratch[4096];
    while (count > 0) {
        const long n = src.read(scratch, std::min(count, sizeof scratch), deadline);
        if (n <= 0)
            return false;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

// One attempt with the back-end the format needs.
std::unique_ptr<Decoder> tryFormat(const Attempt& attempt, AttemptFailure& failure, bool& missingDecoder) {
    if (attempt.format == "mp3")
        return Mpg123Decoder::open(attempt, failure);
    const FfmpegOpen open = ffmpegModule(failure.detail);
    if (!open) {
        missingDecoder = true;
        return nullptr;
    }
    return std::unique_ptr<Decoder>(open(attempt, failure));
}

} // namespace

std::unique_ptr<Decoder> Decoder::open(std::shared_ptr<HttpSource> source, const DecoderConfig& config,
                                       OpenFailure& failure, std::string& detail) {
    failure = OpenFailure::None;
    // The bytes decide; the label is only a second opinion, tried after the bytes' own format
    // failed to decode, and each gets its share of the time-out.
    const Sniffed sniffed = sniffSource(*source, config.deadline, failure, detail);
    if (failure != OpenFailure::None)
        return nullptr;
    ::tembrik::audio::detail::trace("format found");
    if (sniffed.verdict == Sniffed::Verdict::NotAudio) {
        failure = OpenFailure::NotAudio;
        detail = sniffed.what;
        return nullptr;
    }
    std::vector<std::pair<std::string, std::size_t>> plan{{sniffed.format, sniffed.offset}};
    const std::string hint = formatForContentType(config.contentType);
    if (!hint.empty() && hint != sniffed.format && hint != "mp3" && hint != "aac")
        plan.emplace_back(hint, 0); // raw frame formats were sniffed already: no sync, no use
    auto input = std::make_shared<SourceInput>(source);
    bool missingDecoder = false;
    std::string missingDetail;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        source->rewind();
        const auto now = Clock::now();
        Attempt attempt{input, config, plan[i].first, plan[i].second,
                        now + (config.deadline - now) / static_cast<long>(plan.size() - i)};
        AttemptFailure why;
        std::unique_ptr<Decoder> decoder;
        if (!skip(*source, plan[i].second, attempt.deadline)) {
            why.detail = "the stream ended";
            why.aborted = source->aborted();
        } else {
            decoder = tryFormat(attempt, why, missingDecoder);
        }
        if (decoder) {
            ::tembrik::audio::detail::trace("first blocks decoded");
            return decoder;
        }
        detail = why.detail;
        if (missingDecoder && missingDetail.empty())
            missingDetail = why.detail;
        if (why.aborted || source->aborted()) {
            failure = OpenFailure::Aborted;
            detail = "aborted";
            return nullptr;
        }
        if (why.timedOut && i + 1 == plan.size()) {
            failure = OpenFailure::Timeout;
            detail = "no audio within the time-out";
            return nullptr;
        }
    }
    failure = OpenFailure::NotAudio;
    if (missingDecoder) {
        failure = OpenFailure::MissingDecoder;
        detail = missingDetail;
    }
    return nullptr;
}

} // namespace tembrik::audio::decode
