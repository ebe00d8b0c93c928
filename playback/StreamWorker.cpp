#include "StreamWorker.h"

#include "AudioApi.h"
#include "Equalizer.h"
#include "StatusChannel.h"
#include "StreamTitle.h"

#include "app/PlayerState.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace playback {

namespace {

std::atomic<std::uint64_t> newestRequest{0};

// Serialises "is this worker still current?" with the writes of StreamHandle and the effect
// handles, so an outdated worker can never overwrite what a newer one stored.
std::mutex stateMutex;

std::mutex hooksMutex;
WorkerHooks hooks; // guarded by hooksMutex; copied by each worker at its start
using StartedHook = std::function<void(std::uint64_t request)>;
StartedHook startedHook; // as hooks

std::mutex runningMutex;
std::condition_variable runningChanged;
int running = 0; // guarded by runningMutex

// Counted from the request on, so a wait that starts right after a request sees its worker.
class RunningWorker {
public:
    RunningWorker() = default;
    ~RunningWorker() {
        {
            std::lock_guard lock(runningMutex);
            --running;
        }
        runningChanged.notify_all();
    }
    RunningWorker(const RunningWorker&) = delete;
    RunningWorker& operator=(const RunningWorker&) = delete;
};

bool Current(std::uint64_t request) {
    return newestRequest.load() == request;
}

void Worker(std::uint64_t request, std::string url, WorkerHooks h, StartedHook playing) {
    RunningWorker alive;
    PlayerState& s = State();
    AudioApi& audio = Audio();

    std::uint32_t previous;
    {
        std::lock_guard lock(stateMutex);
        if (!Current(request))
            return;
        previous = s.StreamHandle;
    }
    audio.StreamFree(previous);
    MainStatusChannel().send({StatusConnecting, 0, {}});
    if (!Current(request))
        return;

    DownloadRoutine download;
    if (h.downloaded)
        download = [request, f = h.downloaded](const char* buffer, std::size_t length) {
            f(request, buffer, length);
        };
    std::string reason;
    const std::uint32_t stream = audio.StreamCreateUrl(url, std::move(download), &reason);
    {
        std::lock_guard lock(stateMutex);
        if (!Current(request)) {
            audio.StreamFree(stream);
            return;
        }
        if (stream != 0)
            s.StreamHandle = stream;
    }
    if (stream == 0) {
        MainStatusChannel().send({StatusFailed, 0, QString::fromStdString(reason)});
        return;
    }

    std::int64_t lastReceived = -1;
    auto lastGrowth = std::chrono::steady_clock::now();
    for (bool first = true;; first = false) {
        if (!first)
            std::this_thread::sleep_for(h.bufferingPollInterval);
        if (!Current(request))
            return;
        const std::uint32_t end =
            static_cast<std::uint32_t>(audio.StreamGetFilePosition(stream, FilePos::End));
        // A failed query (all ones) or an empty buffer size ends the wait without a report.
        if (end == 0xFFFFFFFFu || end == 0)
            break;
        const auto received =
            static_cast<std::int64_t>(audio.StreamGetFilePosition(stream, FilePos::Download));
        const auto consumed =
            static_cast<std::int64_t>(audio.StreamGetFilePosition(stream, FilePos::Current));
        // A source that dropped while buffering never fills the buffer and, not yet playing, never
        // reports its end: without this the wait would last for ever and no reconnect would follow.
        const auto now = std::chrono::steady_clock::now();
        if (received != lastReceived) {
            lastReceived = received;
            lastGrowth = now;
        } else if (now - lastGrowth >= h.bufferingStallLimit) {
            break;
        }
        const auto fill =
            static_cast<std::int32_t>(((received - consumed) * 100) / static_cast<std::int64_t>(end));
        // The library may hold more than the buffer's nominal size (a burst on connect, a paused
        // decoder), so the share can pass 100; the user sees a percentage.
        MainStatusChannel().send({StatusBuffering, std::clamp(fill, 0, 100), {}});
        if (static_cast<std::uint32_t>(fill) > 75)
            break;
    }
    if (!Current(request))
        return;

    ReadStreamTitle();
    const auto started = std::make_shared<std::atomic<std::int64_t>>(0);
    audio.ChannelSetMetaSync(stream, [request] {
        if (Current(request))
            ReadStreamTitle();
    });
    audio.ChannelSetEndSync(stream, [request, started, ended = h.streamEnded] {
        if (!Current(request) || !ended)
            return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const auto played =
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count() - started->load();
        ended(request, std::chrono::milliseconds(played));
    });

    const EffectChain chain = CreateEffectChain(stream);
    {
        std::lock_guard lock(stateMutex);
        if (!Current(request))
            return;
        MakeChainCurrent(chain);
    }
    ApplyStoredBands(chain);
    started->store(std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count());
    audio.ChannelPlay(stream);
    audio.ChannelSetVolume(stream, static_cast<float>(s.VolumePosition.load()) / 100.0f);
    if (playing && Current(request))
        playing(request);
}

constexpr std::size_t MaxUrlCharacters = 255;

// The first `count` characters of UTF-8 text, never ending inside a character.
std::string CutToCharacters(const std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const bool continuation = (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count)
            return text.substr(0, at);
    }
    return text;
}

} // namespace

void SetWorkerHooks(WorkerHooks h) {
    std::lock_guard lock(hooksMutex);
    hooks = std::move(h);
}

void SetPlaybackStartedHook(StartedHook hook) {
    std::lock_guard lock(hooksMutex);
    startedHook = std::move(hook);
}

std::uint64_t StartStreamWorker(const std::string& url) {
    const std::uint64_t request = ++newestRequest;
    WorkerHooks h;
    StartedHook started;
    {
        std::lock_guard lock(hooksMutex);
        h = hooks;
        started = startedHook;
    }
    {
        std::lock_guard lock(runningMutex);
        ++running;
    }
    std::thread(Worker, request, CutToCharacters(url, MaxUrlCharacters), std::move(h), std::move(started))
        .detach();
    return request;
}

std::uint64_t CurrentRequest() {
    return newestRequest.load();
}

void CancelStreamWorkers() {
    ++newestRequest;
}

bool WaitForStreamWorkers(std::chrono::milliseconds timeout) {
    std::unique_lock lock(runningMutex);
    return runningChanged.wait_for(lock, timeout, [] { return running == 0; });
}

} // namespace playback
