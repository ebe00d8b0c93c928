// The output thread: mixes every playing stream (effects, volume) into blocks for the output
// back-end. Control threads talk to it only through a command list and the tracks' atomics.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mix/Track.h"
#include "out/Output.h"

namespace tembrik::audio::mix {

class Mixer {
public:
    // onEnded is called on the output thread (outside the render callback) once per track that has
    // ended and played out.
    Mixer(std::unique_ptr<out::Output> output, int sampleRate,
          std::function<void(std::uint32_t streamHandle)> onEnded);
    ~Mixer(); // stop()
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    void start();
    void stop(); // joins the output thread; the back-end is closed

    // Control threads.
    void add(std::shared_ptr<Track> track);
    void remove(const std::shared_ptr<Track>& track);
    void addEffect(const std::shared_ptr<Track>& track, std::shared_ptr<fx::Effect> effect);
    void removeEffect(const std::shared_ptr<Track>& track, const std::shared_ptr<fx::Effect>& effect);
    void wake(); // a track started playing

    static constexpr std::size_t kMaxBlockFrames = 16384;

private:
    struct Command {
        enum class Kind { Add, Remove, AddEffect, RemoveEffect } kind;
        std::shared_ptr<Track> track;
        std::shared_ptr<fx::Effect> effect;
    };

    void post(Command command);
    void run();
    void takeCommands();
    void apply(Command& command);
    bool anyPlaying() const;
    bool nothingToStartWith();
    void render(float* out, std::size_t frames);
    void reportEnded();
    void reportHeardMarks();

    std::unique_ptr<out::Output> output_;
    const int sampleRate_;
    std::function<void(std::uint32_t)> onEnded_;
    std::thread thread_;

    std::mutex mutex_; // never taken inside the render callback; the output thread only try_locks it
    std::condition_variable cv_;
    std::vector<Command> commands_;              // guarded by mutex_
    std::vector<std::shared_ptr<void>> retired_; // guarded by mutex_: freed by control threads
    bool stopping_ = false;                      // guarded by mutex_
    bool woken_ = false;                         // guarded by mutex_

    // Output thread only.
    std::vector<Command> taken_;
    std::vector<std::shared_ptr<void>> graveyard_;
    std::vector<std::shared_ptr<Track>> tracks_;
    std::vector<std::uint32_t> endedNow_;
    std::vector<float> block_;
    std::vector<float> scratch_;
};

} // namespace tembrik::audio::mix
