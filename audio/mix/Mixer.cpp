// THE RENDER CALLBACK CONTRACT. Mixer::render() and everything it calls (the effects' process(),
// PcmRing::read(), a track's `prebuffered` gauge) runs on the output thread while the sound device
// waits for the block. It takes no lock that another thread may hold, allocates no memory, logs
// nothing and never blocks or sleeps. It talks to other threads only through atomics (the tracks'
// flags and volumes, the rings, the effects' parameter slots). Changes to the list of tracks and
// effect chains are commands applied between blocks by the output thread itself (it only
// try_locks the command list), and what it removes is handed back to control threads to free.
#include "mix/Mixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "common/ThreadName.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace tembrik::audio::mix {
namespace {

// After the last playing stream, keep the device running this long so queued audio plays out.
constexpr std::chrono::milliseconds kIdleGrace(300);
// Paused this long, the device is given up (the sound server holds no stream of ours meanwhile).
constexpr std::chrono::seconds kReleaseAfter(3);
// Waiting for a first sound, the output thread looks again this often, and less often once the
// wait has lasted a while (a station that connects but sends nothing).
constexpr std::chrono::milliseconds kHoldPollFast(2);
constexpr std::chrono::milliseconds kHoldPollSlow(20);
constexpr std::chrono::milliseconds kHoldPollFor(500);

void flushDenormalsToZero() {
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() | 0x8040); // FTZ and DAZ: decaying filter tails stay cheap
#endif
}

} // namespace

Mixer::Mixer(std::unique_ptr<out::Output> output, int sampleRate, std::function<void(std::uint32_t)> onEnded)
    : output_(std::move(output)), sampleRate_(sampleRate), onEnded_(std::move(onEnded)) {
    commands_.reserve(64);
    taken_.reserve(64);
    tracks_.reserve(64);
    endedNow_.reserve(64);
    block_.assign(kMaxBlockFrames * 2, 0.0f);
    scratch_.assign(kMaxBlockFrames * 2, 0.0f);
}

Mixer::~Mixer() {
    stop();
}

void Mixer::start() {
    thread_ = std::thread([this] { run(); });
}

void Mixer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        cv_.notify_all();
    }
    if (output_)
        output_->interrupt();
    if (thread_.joinable())
        thread_.join();
    output_.reset();
    std::vector<std::shared_ptr<void>> retired;
    std::vector<Command> commands;
    {
        std::lock_guard lock(mutex_);
        retired.swap(retired_);
        commands.swap(commands_);
    }
    tracks_.clear();
    graveyard_.clear();
}

void Mixer::post(Command command) {
    std::vector<std::shared_ptr<void>> retired;
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(std::move(command));
        retired.swap(retired_);
        woken_ = true;
        cv_.notify_all();
    }
    // `retired` is freed here, on the control thread.
}

void Mixer::add(std::shared_ptr<Track> track) {
    post({Command::Kind::Add, std::move(track), nullptr});
}

void Mixer::remove(const std::shared_ptr<Track>& track) {
    post({Command::Kind::Remove, track, nullptr});
}

void Mixer::addEffect(const std::shared_ptr<Track>& track, std::shared_ptr<fx::Effect> effect) {
    post({Command::Kind::AddEffect, track, std::move(effect)});
}

void Mixer::removeEffect(const std::shared_ptr<Track>& track, const std::shared_ptr<fx::Effect>& effect) {
    post({Command::Kind::RemoveEffect, track, effect});
}

void Mixer::wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    cv_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Output thread

void Mixer::run() {
    common::nameThisThread("audio-mixer");
    flushDenormalsToZero();
    bool running = false;  // the back-end is resumed
    bool released = false; // the back-end has given the device up
    auto idleSince = std::chrono::steady_clock::now();
    auto pausedAt = idleSince;
    bool wasPlaying = false;
    bool holding = false; // waiting for a first sound, since holdingSince
    auto holdingSince = idleSince;
    while (true) {
        takeCommands();
        {
            std::unique_lock lock(mutex_, std::try_to_lock);
            if (lock.owns_lock() && stopping_)
                break;
        }
        const bool playing = anyPlaying();
        const auto now = std::chrono::steady_clock::now();
        if (playing) {
            wasPlaying = true;
        } else if (wasPlaying) {
            wasPlaying = false;
            idleSince = now;
        }
        if (!playing && (!running || now - idleSince >= kIdleGrace)) {
            if (running) {
                output_->pause();
                running = false;
                pausedAt = now;
            }
            if (!released && now - pausedAt >= kReleaseAfter) {
                output_->release();
                released = true;
            }
            // Sleep until a command or a play request; released, nothing at all wakes this thread.
            std::unique_lock lock(mutex_);
            auto woken = [&] { return stopping_ || woken_; };
            if (released) {
                cv_.wait(lock, woken);
            } else {
                cv_.wait_until(lock, pausedAt + kReleaseAfter, woken);
            }
            woken_ = false;
            if (stopping_)
                break;
            continue;
        }
        if (!running) {
            output_->resume();
            running = true;
            released = false;
        }
        const std::size_t frames = output_->waitWritable(kMaxBlockFrames);
        if (frames == 0)
            continue;
        if (nothingToStartWith()) {
            // Nothing is written before the first stream has audio: a block of silence queued ahead
            // of its first sound would delay that sound by as much (up to the whole latency). All
            // the device could play meanwhile is silence, so holding back costs no glitch; a stream
            // that never gets audio is looked at less often.
            if (!holding) {
                holding = true;
                holdingSince = now;
            }
            std::this_thread::sleep_for(now - holdingSince < kHoldPollFor ? kHoldPollFast : kHoldPollSlow);
            continue;
        }
        holding = false;
        render(block_.data(), frames);
        output_->write(block_.data(), frames);
        reportEnded();
        reportHeardMarks();
    }
    if (running)
        output_->pause();
}

void Mixer::takeCommands() {
    {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock())
            return;
        taken_.swap(commands_);
        if (!graveyard_.empty()) {
            retired_.insert(retired_.end(), graveyard_.begin(), graveyard_.end());
            graveyard_.clear();
        }
    }
    for (auto& command : taken_)
        apply(command);
    taken_.clear();
}

void Mixer::apply(Command& command) {
    switch (command.kind) {
    case Command::Kind::Add:
        command.track->gated = command.track->prebuffer;
        tracks_.push_back(std::move(command.track));
        if (endedNow_.capacity() < tracks_.size())
            endedNow_.reserve(tracks_.size() * 2);
        break;
    case Command::Kind::Remove: {
        auto it = std::find(tracks_.begin(), tracks_.end(), command.track);
        if (it != tracks_.end()) {
            for (auto& effect : (*it)->chain)
                graveyard_.push_back(std::move(effect));
            (*it)->chain.clear();
            graveyard_.push_back(std::move(*it));
            tracks_.erase(it);
        }
        graveyard_.push_back(std::move(command.track));
        break;
    }
    case Command::Kind::AddEffect: {
        auto& chain = command.track->chain;
        // Higher priority first; equal priorities in the order added.
        auto at = std::find_if(chain.begin(), chain.end(),
                               [&](const auto& e) { return e->priority() < command.effect->priority(); });
        chain.insert(at, std::move(command.effect));
        break;
    }
    case Command::Kind::RemoveEffect: {
        auto& chain = command.track->chain;
        auto it = std::find(chain.begin(), chain.end(), command.effect);
        if (it != chain.end()) {
            graveyard_.push_back(std::move(*it));
            chain.erase(it);
        }
        graveyard_.push_back(std::move(command.effect));
        break;
    }
    }
    graveyard_.push_back(std::move(command.track));
}

bool Mixer::anyPlaying() const {
    return std::any_of(tracks_.begin(), tracks_.end(), [](const auto& t) {
        return t->playing.load(std::memory_order_acquire) && !t->ended.load(std::memory_order_relaxed);
    });
}

// True while every stream that plays has yet to sound and has nothing to sound with: none has
// been heard since it started, and each is still filling its pre-buffer or waiting for its first
// decoded block. Those are marked as buffering meanwhile (render() sets the mark again per block).
bool Mixer::nothingToStartWith() {
    bool waiting = false;
    for (const auto& track : tracks_) {
        if (!track->playing.load(std::memory_order_acquire) || track->ended.load(std::memory_order_relaxed))
            continue;
        if (track->ring.totalRead() > 0 || track->decoderDone.load(std::memory_order_acquire))
            return false; // sounding already (keep its blocks coming), or at its end
        if ((!track->gated || track->prebufferReady()) && track->ring.available() > 0)
            return false;
        track->buffering.store(true, std::memory_order_relaxed);
        waiting = true;
    }
    return waiting;
}

void Mixer::render(float* out, std::size_t frames) {
    std::fill(out, out + frames * 2, 0.0f);
    for (const auto& trackPtr : tracks_) {
        Track& track = *trackPtr;
        if (!track.playing.load(std::memory_order_acquire) || track.ended.load(std::memory_order_relaxed))
            continue;
        float* s = scratch_.data();
        std::size_t got = 0;
        if (track.gated && track.prebufferReady())
            track.gated = false;
        if (!track.gated) {
            got = track.ring.read(s, frames);
            if (got < frames) {
                if (track.decoderDone.load(std::memory_order_acquire) && track.ring.available() == 0) {
                    if (got == 0) {
                        track.ended.store(true, std::memory_order_release);
                        track.buffering.store(false, std::memory_order_relaxed);
                        endedNow_.push_back(track.streamHandle); // capacity reserved for every track
                        continue;
                    }
                } else if (track.prebuffer && track.networkDry && track.networkDry()) {
                    track.gated = true; // starved by the network: wait for the pre-buffer again, in silence
                } // (starved because decoding lagged: sound again as soon as the decoder catches up)
            }
        }
        track.buffering.store(got < frames && !track.decoderDone.load(std::memory_order_relaxed),
                              std::memory_order_relaxed);
        std::fill(s + got * 2, s + frames * 2, 0.0f);
        for (const auto& effect : track.chain)
            effect->process(s, frames);
        // Volume: linear ramp over the block from the last value to the wanted one (no clicks).
        const float target = track.volume.load(std::memory_order_relaxed);
        if (track.currentVolume < 0.0f)
            track.currentVolume = target;
        const float start = track.currentVolume;
        if (start == target) {
            if (target != 0.0f) {
                for (std::size_t i = 0; i < frames * 2; ++i)
                    out[i] += s[i] * target;
            }
        } else {
            const float step = (target - start) / static_cast<float>(frames);
            for (std::size_t i = 0; i < frames; ++i) {
                const float g = start + step * static_cast<float>(i + 1);
                out[2 * i] += s[2 * i] * g;
                out[2 * i + 1] += s[2 * i + 1] * g;
            }
            track.currentVolume = target;
        }
    }
}

void Mixer::reportHeardMarks() {
    std::optional<std::size_t> queued; // asked of the back-end only when a mark waits
    for (const auto& track : tracks_) {
        std::uint64_t mark = track->nextMark.load(std::memory_order_acquire);
        if (mark == Track::kNoMark)
            continue;
        if (!queued)
            queued = output_->queuedFrames();
        // Frames this track handed to the output minus those still queued there: a track that was
        // silent meanwhile is credited less than it played, so a mark is never reported early.
        const std::uint64_t read = track->ring.totalRead();
        const std::uint64_t heard = read > *queued ? read - *queued : 0;
        if (mark <= heard && track->nextMark.compare_exchange_strong(mark, Track::kNoMark) &&
            track->markHeard)
            track->markHeard(heard);
    }
}

void Mixer::reportEnded() {
    for (auto handle : endedNow_) {
        if (onEnded_)
            onEnded_(handle);
    }
    endedNow_.clear();
}

} // namespace tembrik::audio::mix
