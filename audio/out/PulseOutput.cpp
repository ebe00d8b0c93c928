// The PulseAudio back-end (libpulse's threaded main loop; PipeWire's pulse server works the same).
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
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "out/Output.h"

namespace tembrik::audio::out {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLatencyMs = 200; // tlength: from our write to the speaker
constexpr int kRequestMs = 10;  // minreq: how much the server asks for at a time
constexpr auto kReconnectTimeout = std::chrono::seconds(2);

class PulseOutput final : public Output {
public:
    ~PulseOutput() override { close(); }

    bool open(const PulseConfig& config, std::string& error) {
        sinkName_ = config.sinkName;
        spec_.format = PA_SAMPLE_FLOAT32LE;
        spec_.rate = static_cast<uint32_t>(config.sampleRate);
        spec_.channels = 2;
        mainloop_ = pa_threaded_mainloop_new();
        if (!mainloop_) {
            error = "PulseAudio: cannot create a main loop";
            return false;
        }
        context_ =
            pa_context_new(pa_threaded_mainloop_get_api(mainloop_),
                           config.applicationName.empty() ? "Tembrik" : config.applicationName.c_str());
        if (!context_) {
            error = "PulseAudio: cannot create a context";
            return false;
        }
        pa_context_set_state_callback(context_, &PulseOutput::signal, this);
        if (pa_threaded_mainloop_start(mainloop_) < 0) {
            error = "PulseAudio: cannot start the main loop";
            return false;
        }
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(std::max(config.connectTimeoutMs, 100));
        pa_threaded_mainloop_lock(mainloop_);
        // The stream is opened once here so that a missing sink or a refused format fails init();
        // the mixer releases it again when nothing plays.
        bool ok = connect(config, deadline, error) && openStream(deadline, error);
        pa_threaded_mainloop_unlock(mainloop_);
        return ok;
    }

    std::size_t waitWritable(std::size_t maxFrames) override {
        pa_threaded_mainloop_lock(mainloop_);
        std::size_t writable = 0;
        bool broken = false;
        bool reopened = false;
        while (true) {
            if (interrupted_) {
                interrupted_ = false;
                break;
            }
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
            pa_threaded_mainloop_wait(mainloop_);
        }
        pa_threaded_mainloop_unlock(mainloop_);
        if (broken)
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a dead server never spins us
        return writable;
    }

    void write(const float* stereo, std::size_t frames) override {
        pa_threaded_mainloop_lock(mainloop_);
        if (stream_)
            pa_stream_write(stream_, stereo, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        pa_threaded_mainloop_unlock(mainloop_);
    }

    void pause() override {
        pa_threaded_mainloop_lock(mainloop_);
        corked_ = true;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr))
                pa_operation_unref(op);
            if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr))
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(mainloop_);
    }

    void resume() override {
        pa_threaded_mainloop_lock(mainloop_);
        corked_ = false;
        if (!stream_) {
            std::string error;
            openStream(Clock::now() + kReconnectTimeout, error); // failing, waitWritable() retries
        } else if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr))
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(mainloop_);
    }

    void release() override {
        pa_threaded_mainloop_lock(mainloop_);
        closeStream();
        pa_threaded_mainloop_unlock(mainloop_);
    }

    std::size_t queuedFrames() override {
        pa_threaded_mainloop_lock(mainloop_);
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
        pa_threaded_mainloop_unlock(mainloop_);
        return static_cast<std::size_t>(latency * spec_.rate / 1000000);
    }

    void interrupt() override {
        pa_threaded_mainloop_lock(mainloop_);
        interrupted_ = true;
        pa_threaded_mainloop_signal(mainloop_, 0);
        pa_threaded_mainloop_unlock(mainloop_);
    }

private:
    static constexpr std::size_t kFrameBytes = 2 * sizeof(float);

    static void signal(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->mainloop_, 0);
    }
    static void streamSignal(pa_stream*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->mainloop_, 0);
    }
    static void writeSignal(pa_stream*, size_t, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->mainloop_, 0);
    }

    // Waits (main loop locked) for `ready`, giving up at a bad state or the deadline.
    template <class StateFn> bool waitFor(StateFn state, Clock::time_point deadline) {
        while (true) {
            int s = state();
            if (s == 1)
                return true;
            if (s < 0 || Clock::now() >= deadline)
                return false;
            pa_threaded_mainloop_unlock(mainloop_);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pa_threaded_mainloop_lock(mainloop_);
        }
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

    // Main loop locked. Connects a playback stream, corked unless resume() asked for sound.
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
        pa_stream_set_state_callback(stream_, &PulseOutput::streamSignal, this);
        pa_stream_set_write_callback(stream_, &PulseOutput::writeSignal, this);
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

    // Main loop locked.
    void closeStream() {
        if (!stream_)
            return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    void close() {
        if (!mainloop_)
            return;
        pa_threaded_mainloop_lock(mainloop_);
        closeStream();
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
        pa_threaded_mainloop_unlock(mainloop_);
        pa_threaded_mainloop_stop(mainloop_);
        pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
    }

    std::string sinkName_;
    pa_sample_spec spec_{};
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;      // guarded by the main loop's lock
    pa_stream* stream_ = nullptr;        // guarded by the main loop's lock; null while released
    std::size_t minBytes_ = kFrameBytes; // guarded by the main loop's lock
    bool corked_ = true;                 // guarded by the main loop's lock: pause() was the last word
    bool interrupted_ = false;           // guarded by the main loop's lock
};

} // namespace

std::unique_ptr<Output> openPulseOutput(const PulseConfig& config, std::string& error) {
    auto output = std::make_unique<PulseOutput>();
    if (!output->open(config, error))
        return nullptr;
    return output;
}

} // namespace tembrik::audio::out
