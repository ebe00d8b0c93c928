#include "decode/Mpg123Decoder.h"

#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tembrik::audio::decode {
namespace {

constexpr std::size_t kFeedBytes = 4096;
// Bytes fed without a frame that gave audio before the stream counts as broken: garbage between
// frames is skipped, but an endless run of it must not keep the stream "playing" in silence.
constexpr std::uint64_t kMaxBytesWithoutAudio = 256 * 1024;
constexpr int kMaxErrors = 64; // errors in a row

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

} // namespace

Mpg123Decoder::Mpg123Decoder(const Attempt& attempt)
    : input_(attempt.input), config_(attempt.config), deadline_(attempt.deadline), base_(attempt.offset),
      position_(attempt.offset) {}

Mpg123Decoder::~Mpg123Decoder() {
    if (resampler_)
        syn123_del(resampler_);
    if (handle_)
        mpg123_delete(handle_);
}

std::unique_ptr<Decoder> Mpg123Decoder::open(const Attempt& attempt, AttemptFailure& failure) {
    initOnce();
    std::unique_ptr<Mpg123Decoder> d(new Mpg123Decoder(attempt));
    int err = MPG123_OK;
    d->handle_ = mpg123_new(nullptr, &err);
    if (!d->handle_) {
        failure.detail = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err);
        return nullptr;
    }
    mpg123_handle* h = d->handle_;
    // A station's stream is endless: a LAME/Xing frame at its start (a file's header passed on)
    // must not end decoding after that file's frame count, nor trim samples. ID3 tags between
    // songs are skipped unread. Garbage is skipped however long it is; kMaxBytesWithoutAudio bounds it.
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_SKIP_ID3V2, 0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS | MPG123_AUTO_RESAMPLE, 0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    // Float at the stream's own rate and channels; the rate is converted here (libsyn123 resamples
    // far better than libmpg123's own N-to-M synthesis).
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open_feed(h) != MPG123_OK) {
        failure.detail = std::string("cannot start the MP3 decoder: ") + mpg123_strerror(h);
        return nullptr;
    }

    // Audio counts as found once two frames in a row gave audio.
    int clean = 0;
    long kbps = 0;
    long measured = 0;
    Step step = Step::Frame;
    while (clean < 2) {
        const std::size_t before = d->firstAudio_.size();
        step = d->nextFrame(d->firstAudio_);
        if (step != Step::Frame)
            break;
        mpg123_frameinfo info{};
        if (mpg123_info(h, &info) == MPG123_OK && info.bitrate > 0) {
            kbps += info.bitrate;
            ++measured;
        }
        clean = d->firstAudio_.size() > before ? clean + 1 : 0;
    }
    const bool shortFile = step == Step::End && !d->firstAudio_.empty() && d->input_->finished() &&
                           !d->aborted_ && !d->timedOut_;
    if (clean < 2 && !shortFile) {
        failure.timedOut = d->timedOut_;
        failure.aborted = d->aborted_;
        failure.detail = d->error_.empty() ? "no audio decoded (mp3)" : "cannot read as mp3: " + d->error_;
        return nullptr;
    }
    d->bitRate_ = measured > 0 ? kbps * 1000 / measured : 0;
    d->opening_ = false;
    d->ended_ = step != Step::Frame;
    return d;
}

bool Mpg123Decoder::decodeSome(std::vector<float>& out) {
    if (!firstAudio_.empty()) {
        out.insert(out.end(), firstAudio_.begin(), firstAudio_.end());
        firstAudio_.clear();
        firstAudio_.shrink_to_fit();
        return true;
    }
    const std::size_t before = out.size();
    while (!ended_ && out.size() == before) {
        if (nextFrame(out) != Step::Frame)
            ended_ = true;
    }
    return out.size() > before;
}

Mpg123Decoder::Step Mpg123Decoder::nextFrame(std::vector<float>& out) {
    while (true) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int r = mpg123_decode_frame(handle_, &frameNumber, &audio, &bytes);
        if (r == MPG123_NEW_FORMAT) {
            if (!takeFormat())
                return Step::Failed;
            continue;
        }
        if (r == MPG123_OK) {
            errors_ = 0;
            if (bytes > 0 && channels_ > 0) {
                append(audio, bytes, out);
                fedAtAudio_ = fed_;
            }
            // Every byte fed and not still waiting in libmpg123's buffer belongs to this frame or
            // an earlier one.
            long unread = 0;
            if (mpg123_getstate(handle_, MPG123_BUFFERFILL, &unread, nullptr) == MPG123_OK && unread >= 0 &&
                static_cast<std::uint64_t>(unread) <= fed_)
                position_ = std::max(position_, base_ + fed_ - static_cast<std::uint64_t>(unread));
            return Step::Frame;
        }
        if (r == MPG123_NEED_MORE) {
            if (fed_ - fedAtAudio_ > kMaxBytesWithoutAudio) {
                error_ = "no MPEG audio frame in " + std::to_string(kMaxBytesWithoutAudio / 1024) + " KB";
                return Step::Failed;
            }
            std::size_t want = kFeedBytes;
            std::optional<DecodeClock::time_point> deadline;
            if (opening_) {
                const std::uint64_t used = input_->consumed();
                if (used >= config_.maxProbeBytes)
                    return Step::Failed;
                want = std::min<std::uint64_t>(want, config_.maxProbeBytes - used);
                deadline = deadline_;
            }
            char buffer[kFeedBytes];
            const long n = input_->read(buffer, want, deadline);
            if (n == Input::kEnd)
                return Step::End;
            if (n < 0) {
                (n == Input::kAborted ? aborted_ : timedOut_) = true;
                return Step::End;
            }
            if (mpg123_feed(handle_, reinterpret_cast<const unsigned char*>(buffer),
                            static_cast<std::size_t>(n)) != MPG123_OK) {
                error_ = mpg123_strerror(handle_);
                return Step::Failed;
            }
            fed_ += static_cast<std::uint64_t>(n);
            continue;
        }
        if (r == MPG123_DONE)
            return Step::End;
        // A damaged frame: libmpg123 has skipped it and resynchronises on the next call.
        if (++errors_ > kMaxErrors) {
            error_ = mpg123_strerror(handle_);
            return Step::Failed;
        }
    }
}

// The stream's rate or channels changed (or are known for the first time).
bool Mpg123Decoder::takeFormat() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32) {
        error_ = "unsupported output format";
        return false;
    }
    if (rate == config_.outputRate) {
        if (resampler_)
            syn123_del(resampler_);
        resampler_ = nullptr;
    } else {
        int err = SYN123_OK;
        if (!resampler_)
            resampler_ = syn123_new(config_.outputRate, channels, MPG123_ENC_FLOAT_32, 0, &err);
        if (!resampler_ ||
            syn123_setup_resample(resampler_, rate, config_.outputRate, channels, 0, 0) != SYN123_OK) {
            error_ = "cannot convert " + std::to_string(rate) + " Hz";
            return false;
        }
    }
    inRate_ = rate;
    channels_ = channels;
    return true;
}

void Mpg123Decoder::append(const unsigned char* audio, std::size_t bytes, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(channels_);
    std::size_t frames = bytes / (sizeof(float) * channels);
    samples_.resize(frames * channels); // copied: the decoder's buffer is bytes, of no promised alignment
    std::memcpy(samples_.data(), audio, samples_.size() * sizeof(float));
    const float* src = samples_.data();
    if (resampler_) {
        // One MPEG frame is at most 1152 samples, well under what the resampler takes at once.
        frames = std::min(frames, syn123_resample_maxincount(inRate_, config_.outputRate));
        resampled_.resize(syn123_resample_count(inRate_, config_.outputRate, frames) * channels);
        frames = syn123_resample(resampler_, resampled_.data(), samples_.data(), frames);
        src = resampled_.data();
    }
    if (channels == 2) {
        out.insert(out.end(), src, src + frames * 2);
        return;
    }
    out.reserve(out.size() + frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        out.push_back(src[i]);
        out.push_back(src[i]);
    }
}

} // namespace tembrik::audio::decode
