// The PulseAudio back-end (libpulse, driven by the output thread; PipeWire's pulse server works the same).
//
// Buffer attributes. With PA_STREAM_ADJUST_LATENCY, tlength is the whole latency from our write to
// the speaker, and the server gives the device (sink) (tlength - 2 * minreq) / 2 of it; PipeWire's
// pulse server splits it by the same rule and runs its graph at that quantum. We ask for 200 ms in
// all with requests of 10 ms: the device runs at a 90 ms latency, so the server wakes about a dozen
// times a second instead of thousands (minreq = tlength / 2 left the device nothing, and the server
// ran it at its minimum latency). The server then spends on our stream no more than on mpg123's
// (which leaves the attributes to the server), and a volume change, mute or stop, rendered into the
// next block, is still heard within about 110 ms; a longer queue would make every change later than
// the 150 ms a user accepts from a slider or a mute key.
//
// The playback stream exists only while something plays: release() disconnects it, so that an
// idle player costs the sound server nothing and the card may suspend; resume() connects it again.
// The context (the connection to the server) stays, which costs nothing while no stream exists.
//
// The output thread runs libpulse's main loop itself (a plain pa_mainloop, not the threaded one):
// waitWritable() sleeps in the loop until the server asks for more, and a block written is sent on
// the same thread in the next turn. With a loop thread of libpulse's own, every write had to wake
// that thread and every request woke ours through it: twice the wake-ups, and each one a switch
// between threads that a virtual machine makes dear. Only interrupt() comes from other threads; it
// sets a flag and wakes the loop (pa_mainloop_wakeup() is made for that).
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "out/Output.h"

namespace tembrik::audio::out {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLatencyMs = 200; // tlength: from our write to the speaker
constexpr int kRequestMs = 10;  // minreq: how much the server asks for at a time
constexpr auto kReconnectTimeout = std::chrono::seconds(2);
// How long pause() and release() wait for the server to take their request: on a server that has
// gone away they give up and the next resume() finds out.
constexpr auto kRequestTimeout = std::chrono::milliseconds(500);

class PulseOutput final : public Output {
public:
    ~PulseOutput() override { close(); }

    bool open(const PulseConfig& config, std::string& error) {
        sinkName_ = config.sinkName;
        spec_.format = PA_SAMPLE_FLOAT32LE;
        spec_.rate = static_cast<uint32_t>(config.sampleRate);
        spec_.channels = 2;
        mainloop_ = pa_mainloop_new();
        if (!mainloop_) {
            error = "PulseAudio: cannot create a main loop";
            return false;
        }
        context_ =
            pa_context_new(pa_mainloop_get_api(mainloop_),
                           config.applicationName.empty() ? "Tembrik" : config.applicationName.c_str());
        if (!context_) {
            error = "PulseAudio: cannot create a context";
            return false;
        }
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(std::max(config.connectTimeoutMs, 100));
        // The stream is opened once here so that a missing sink or a refused format fails init();
        // the mixer releases it again when nothing plays.
        return connect(config, deadline, error) && openStream(deadline, error);
    }

    std::size_t waitWritable(std::size_t maxFrames) override {
        std::size_t writable = 0;
        bool broken = false;
        bool reopened = false;
        while (true) {
            if (interrupted_.exchange(false, std::memory_order_acq_rel))
                break;
            if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
                broken = true;
                break;
            }
            if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
                // Released, or the server dropped the stream (a sink went away): connect it again once.
                std::string error;
                if (reopened || !openStream(Clock::now() + kReconnectTimeout, error)) {
                    broken = true;
                    break;
                }
                reopened = true;
                continue;
            }
            std::size_t bytes = pa_stream_writable_size(stream_);
            if (bytes == static_cast<std::size_t>(-1)) {
                broken = true;
                break;
            }
            if (bytes >= minBytes_) {
                writable = std::min(bytes / kFrameBytes, maxFrames);
                break;
            }
            iterate(-1); // until the server asks for more, or anything else happens
        }
        if (broken)
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a dead server never spins us
        return writable;
    }

    void write(const float* stereo, std::size_t frames) override {
        // Queued here; the loop's next turn (in the next waitWritable()) sends it.
        if (stream_)
            pa_stream_write(stream_, stereo, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
    }

    void pause() override {
        corked_ = true;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr))
                pa_operation_unref(op);
            // The flush is answered after the cork: once it is, both have reached the server. The
            // output thread may sleep next without turning the loop.
            finish(pa_stream_flush(stream_, nullptr, nullptr));
        }
    }

    void resume() override {
        corked_ = false;
        if (!stream_) {
            std::string error;
            openStream(Clock::now() + kReconnectTimeout, error); // failing, waitWritable() retries
        } else if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr))
                pa_operation_unref(op); // sent by the next waitWritable()
        }
    }

    void release() override { closeStream(); }

    std::size_t queuedFrames() override {
        // Until the first timing answer arrives, assume the whole latency we asked for, and more.
        pa_usec_t latency = static_cast<pa_usec_t>(2 * kLatencyMs) * 1000;
        int negative = 0;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            pa_usec_t measured = 0;
            if (pa_stream_get_latency(stream_, &measured, &negative) == 0)
                latency = negative ? 0 : measured;
        } else {
            latency = 0;
        }
        return static_cast<std::size_t>(latency * spec_.rate / 1000000);
    }

    void interrupt() override {
        interrupted_.store(true, std::memory_order_release);
        pa_mainloop_wakeup(mainloop_);
    }

private:
    static constexpr std::size_t kFrameBytes = 2 * sizeof(float);

    // One turn of the loop: sleeps at most `timeoutUs` (-1: until something happens), then runs
    // what is due. Output thread.
    void iterate(int timeoutUs) {
        if (pa_mainloop_prepare(mainloop_, timeoutUs) < 0)
            return;
        // prepare() has just emptied the loop's wake-up pipe: an interrupt() given before that must
        // still end the poll.
        if (interrupted_.load(std::memory_order_acquire))
            pa_mainloop_wakeup(mainloop_);
        if (pa_mainloop_poll(mainloop_) < 0)
            return;
        pa_mainloop_dispatch(mainloop_);
    }

    // Turns the loop until `state` says ready (1) or failed (-1), or the deadline.
    template <class StateFn> bool waitFor(StateFn state, Clock::time_point deadline) {
        while (true) {
            int s = state();
            if (s == 1)
                return true;
            if (s < 0)
                return false;
            const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            iterate(static_cast<int>(std::min<long long>(left, 100000)));
        }
    }

    // Waits (a little) until the server has answered the operation, then lets it go.
    void finish(pa_operation* op) {
        if (!op)
            return;
        waitFor([&] { return pa_operation_get_state(op) == PA_OPERATION_RUNNING ? 0 : 1; },
                Clock::now() + kRequestTimeout);
        pa_operation_unref(op);
    }

    bool connect(const PulseConfig& config, Clock::time_point deadline, std::string& error) {
        if (pa_context_connect(context_, config.server.empty() ? nullptr : config.server.c_str(),
                               PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            error = std::string("no sound server: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        bool ready = waitFor(
            [&] {
                pa_context_state_t s = pa_context_get_state(context_);
                return s == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(s) ? 0 : -1;
            },
            deadline);
        if (!ready) {
            error = std::string("no sound server: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        return true;
    }

    // Connects a playback stream, corked unless resume() asked for sound.
    bool openStream(Clock::time_point deadline, std::string& error) {
        closeStream();
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        stream_ = pa_stream_new(context_, "Playback", &spec_, &map);
        if (!stream_) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(pa_usec_t{kLatencyMs} * 1000, &spec_));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(pa_usec_t{kRequestMs} * 1000, &spec_));
        attr.fragsize = static_cast<uint32_t>(-1);
        int flags = PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE;
        if (corked_)
            flags |= PA_STREAM_START_CORKED;
        if (pa_stream_connect_playback(stream_, sinkName_.empty() ? nullptr : sinkName_.c_str(), &attr,
                                       static_cast<pa_stream_flags_t>(flags), nullptr, nullptr) < 0) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            closeStream();
            return false;
        }
        bool ready = waitFor(
            [&] {
                pa_stream_state_t s = pa_stream_get_state(stream_);
                return s == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(s) ? 0 : -1;
            },
            deadline);
        if (!ready) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            closeStream();
            return false;
        }
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
        minBytes_ = granted && granted->minreq > 0 ? granted->minreq : kFrameBytes;
        minBytes_ = std::max(minBytes_, kFrameBytes);
        return true;
    }

    // Disconnects the stream and waits (a little) until the server has let it go, since nothing
    // turns the loop while the player is idle.
    void closeStream() {
        if (!stream_)
            return;
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
            pa_stream_disconnect(stream_);
            waitFor([&] { return PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)) ? 0 : 1; },
                    Clock::now() + kRequestTimeout);
        }
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    void close() {
        if (!mainloop_)
            return;
        if (context_) {
            closeStream();
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
        pa_mainloop_free(mainloop_);
        mainloop_ = nullptr;
    }

    // All of it belongs to the output thread (open() and the destructor run before it starts and
    // after it has ended), except interrupted_.
    std::string sinkName_;
    pa_sample_spec spec_{};
    pa_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr; // null while released
    std::size_t minBytes_ = kFrameBytes;
    bool corked_ = true; // pause() was the last word
    std::atomic<bool> interrupted_{false};
};

} // namespace

std::unique_ptr<Output> openPulseOutput(const PulseConfig& config, std::string& error) {
    auto output = std::make_unique<PulseOutput>();
    if (!output->open(config, error))
        return nullptr;
    return output;
}

} // namespace tembrik::audio::out
