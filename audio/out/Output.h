// Output back-ends: where the mixer's blocks go. One file per back-end: PulseOutput (libpulse,
// also PipeWire's pulse server) and NullOutput (a clock, and a capture hook for tests).
// All calls but interrupt() come from the output thread; the output is stereo 32-bit float.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace tembrik::audio::out {

class Output {
public:
    virtual ~Output() = default;
    // Waits until at least one block may be written; returns how many frames (at most maxFrames),
    // or 0 when interrupted or when the device failed (after a pause, so a dead device never spins).
    virtual std::size_t waitWritable(std::size_t maxFrames) = 0;
    virtual void write(const float* stereo, std::size_t frames) = 0;
    virtual void pause() = 0;  // stop at once, dropping what is queued
    virtual void resume() = 0; // start (again), taking the device first when release() gave it up
    // Gives the device up while nothing plays (the sound server holds nothing of ours, so the card
    // may suspend); the next resume() takes it again.
    virtual void release() = 0;
    // Frames written that have not been heard yet (never fewer than really wait to be heard).
    virtual std::size_t queuedFrames() = 0;
    virtual void interrupt() = 0; // any thread: ends a waitWritable() in progress (or the next one)
};

struct PulseConfig {
    int sampleRate = 44100;
    std::string applicationName;
    std::string server;
    std::string sinkName;
    int connectTimeoutMs = 3000;
};

std::unique_ptr<Output> openPulseOutput(const PulseConfig& config, std::string& error);

std::unique_ptr<Output> openNullOutput(int sampleRate, double speed,
                                       std::function<void(std::span<const float>)> capture);

} // namespace tembrik::audio::out
