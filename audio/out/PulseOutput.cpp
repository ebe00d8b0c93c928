// The PulseAudio back-end (libpulse's threaded main loop; PipeWire's pulse server works the same).
// The server queues `latencyMs` of audio for us and asks for more in halves of that, so the output
// thread wakes a few times a second and writes large blocks.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "out/Output.h"

namespace tembrik::audio::out {
namespace {

using Clock = std::chrono::steady_clock;

class PulseOutput final : public Output {
public:
    ~PulseOutput() override { close(); }

    bool open(const PulseConfig& config, std::string& error) {
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
        bool ok = connect(config, deadline, error);
        pa_threaded_mainloop_unlock(mainloop_);
        return ok;
    }

    std::size_t waitWritable(std::size_t maxFrames) override {
        pa_threaded_mainloop_lock(mainloop_);
        std::size_t writable = 0;
        bool broken = false;
        while (true) {
            if (interrupted_) {
                interrupted_ = false;
                break;
            }
            if (pa_context_get_state(context_) != PA_CONTEXT_READY ||
                pa_stream_get_state(stream_) != PA_STREAM_READY) {
                broken = true;
                break;
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
        pa_stream_write(stream_, stereo, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        pa_threaded_mainloop_unlock(mainloop_);
    }

    void pause() override {
        pa_threaded_mainloop_lock(mainloop_);
        if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr))
                pa_operation_unref(op);
            if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr))
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(mainloop_);
    }

    void resume() override {
        pa_threaded_mainloop_lock(mainloop_);
        if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr))
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(mainloop_);
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
        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_FLOAT32LE;
        sampleFormat.rate = static_cast<uint32_t>(config.sampleRate);
        sampleFormat.channels = 2;
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        stream_ = pa_stream_new(context_, "Playback", &sampleFormat, &map);
        if (!stream_) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        pa_stream_set_state_callback(stream_, &PulseOutput::streamSignal, this);
        pa_stream_set_write_callback(stream_, &PulseOutput::writeSignal, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(config.latencyMs) * 1000, &sampleFormat));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = attr.tlength / 2;
        attr.fragsize = static_cast<uint32_t>(-1);
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
        if (pa_stream_connect_playback(stream_, config.sinkName.empty() ? nullptr : config.sinkName.c_str(),
                                       &attr, flags, nullptr, nullptr) < 0) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        ready = waitFor(
            [&] {
                pa_stream_state_t s = pa_stream_get_state(stream_);
                return s == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(s) ? 0 : -1;
            },
            deadline);
        if (!ready) {
            error =
                std::string("sound server refused the stream: ") + pa_strerror(pa_context_errno(context_));
            return false;
        }
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
        minBytes_ = granted && granted->minreq > 0 ? granted->minreq : kFrameBytes;
        minBytes_ = std::max(minBytes_, kFrameBytes);
        return true;
    }

    void close() {
        if (!mainloop_)
            return;
        pa_threaded_mainloop_lock(mainloop_);
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
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

    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr; // guarded by the main loop's lock
    pa_stream* stream_ = nullptr;   // guarded by the main loop's lock
    std::size_t minBytes_ = kFrameBytes;
    bool interrupted_ = false; // guarded by the main loop's lock
};

} // namespace

std::unique_ptr<Output> openPulseOutput(const PulseConfig& config, std::string& error) {
    auto output = std::make_unique<PulseOutput>();
    if (!output->open(config, error))
        return nullptr;
    return output;
}

} // namespace tembrik::audio::out
