// The engine: handle tables, options, life cycle, and the wiring of source -> decode -> mix -> out.
#include "tembrik/audio/Engine.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <set>

#include "common/ThreadGroup.h"
#include "engine/DecodeThread.h"
#include "engine/EventQueue.h"
#include "engine/Opener.h"
#include "engine/SlotTable.h"
#include "engine/StreamCore.h"
#include "fx/ParamEq.h"
#include "fx/Reverb.h"
#include "mix/Mixer.h"
#include "out/Output.h"

namespace tembrik::audio {

std::string OpenError::text() const {
    std::string base;
    switch (kind) {
    case OpenErrorKind::None:
        return "";
    case OpenErrorKind::NotInitialised:
        base = "not initialised";
        break;
    case OpenErrorKind::BadAddress:
        base = "bad address";
        break;
    case OpenErrorKind::Refused:
        base = "refused";
        break;
    case OpenErrorKind::Timeout:
        base = "time-out";
        break;
    case OpenErrorKind::HttpStatus:
        base = "HTTP " + std::to_string(httpStatus);
        break;
    case OpenErrorKind::NotAudio:
        base = "not audio";
        break;
    case OpenErrorKind::NoPlayableEntry:
        base = "playlist without a playable entry";
        break;
    case OpenErrorKind::Network:
        base = "network error";
        break;
    case OpenErrorKind::Aborted:
        base = "aborted";
        break;
    case OpenErrorKind::TooManyStreams:
        base = "too many streams";
        break;
    case OpenErrorKind::MissingDecoder:
        base = "decoder missing";
        break;
    }
    if (!detail.empty() && detail != base)
        base += ": " + detail;
    return base;
}

namespace detail {

namespace {

constexpr std::uint32_t kStreamKind = 0;
constexpr std::uint32_t kEffectKind = 0x80000000u;
constexpr std::int64_t kDefaultBitRate = 128000;
constexpr std::int64_t kMaxKnownLength = 512ll << 20;
// A title waits this long after its first byte has played: decoders (and the station's encoder)
// delay a new song's sound by a few dozen milliseconds, and the title must never run ahead of it.
constexpr std::int64_t kTitleDelayMs = 100;

struct EffectCore {
    EffectType type;
    std::shared_ptr<fx::Effect> effect;
    std::weak_ptr<StreamCore> stream;
};

} // namespace

class EngineCore : public std::enable_shared_from_this<EngineCore> {
public:
    bool init(const EngineConfig& config);
    void free();
    bool initialised() const {
        std::lock_guard lock(mutex_);
        return initialised_;
    }
    std::string initError() const {
        std::lock_guard lock(mutex_);
        return initError_;
    }
    void setOptions(const Options& options) {
        std::lock_guard lock(mutex_);
        options_ = options;
    }
    Options options() const {
        std::lock_guard lock(mutex_);
        return options_;
    }

    OpenResult openUrl(std::string_view url, DownloadCallback onDownload);

    std::shared_ptr<StreamCore> stream(StreamHandle h) const {
        std::lock_guard lock(mutex_);
        return streams_.get(h.value);
    }
    bool play(StreamHandle h);
    bool stop(StreamHandle h);
    bool freeStream(StreamHandle h);
    bool onMetadata(StreamHandle h, MetadataCallback callback);
    bool onEnd(StreamHandle h, EndCallback callback);

    EffectHandle addEffect(StreamHandle h, EffectType type, int priority);
    bool removeEffect(EffectHandle e);
    template <class Params, class Fx> bool getParameters(EffectHandle e, EffectType type, Params& out) const;
    template <class Params, class Fx>
    bool setParameters(EffectHandle e, EffectType type, const Params& params);

private:
    void dispatch(const QueuedEvent& event);

    std::mutex lifeMutex_; // serialises init() and free()
    mutable std::mutex mutex_;
    bool initialised_ = false;                   // guarded by mutex_
    std::uint64_t epoch_ = 0;                    // guarded by mutex_: changes at every init() and free()
    std::string initError_;                      // guarded by mutex_
    int sampleRate_ = 44100;                     // guarded by mutex_
    double outputSpeed_ = 1.0;                   // guarded by mutex_
    Options options_;                            // guarded by mutex_
    SlotTable<StreamCore> streams_{kStreamKind}; // guarded by mutex_
    SlotTable<EffectCore> effects_{kEffectKind}; // guarded by mutex_
    std::shared_ptr<mix::Mixer> mixer_;          // guarded by mutex_
    std::shared_ptr<EventQueue> events_;         // guarded by mutex_
    std::set<std::shared_ptr<source::HttpSource>> opening_; // guarded by mutex_
    const std::shared_ptr<common::ThreadGroup> threads_ = std::make_shared<common::ThreadGroup>();
};

bool EngineCore::init(const EngineConfig& config) {
    std::lock_guard life(lifeMutex_);
    {
        std::lock_guard lock(mutex_);
        if (initialised_) {
            initError_ = "already initialised";
            return false;
        }
    }
    const int rate = std::clamp(config.sampleRate, 8000, 192000);
    std::unique_ptr<out::Output> output;
    std::string error;
    if (config.backend == OutputBackend::Null) {
        output = out::openNullOutput(rate, config.nullSpeed, config.capture);
    } else {
        out::PulseConfig pulse;
        pulse.sampleRate = rate;
        pulse.applicationName = config.applicationName;
        pulse.server = config.server;
        pulse.sinkName = config.sinkName;
        pulse.connectTimeoutMs = config.connectTimeoutMs;
        output = out::openPulseOutput(pulse, error);
    }
    if (!output) {
        std::lock_guard lock(mutex_);
        initError_ = error.empty() ? "no output" : error;
        return false;
    }
    std::weak_ptr<EngineCore> weak = weak_from_this();
    auto events = EventQueue::start(threads_, [weak](const QueuedEvent& event) {
        if (auto self = weak.lock())
            self->dispatch(event);
    });
    auto mixer = std::make_shared<mix::Mixer>(std::move(output), rate, [events](std::uint32_t stream) {
        events->post({QueuedEvent::Kind::End, stream, {}});
    });
    mixer->start();
    std::lock_guard lock(mutex_);
    initialised_ = true;
    ++epoch_;
    initError_.clear();
    sampleRate_ = rate;
    outputSpeed_ = config.backend == OutputBackend::Null && config.nullSpeed > 0 ? config.nullSpeed : 1.0;
    mixer_ = std::move(mixer);
    events_ = std::move(events);
    return true;
}

void EngineCore::free() {
    std::lock_guard life(lifeMutex_);
    std::vector<std::shared_ptr<StreamCore>> streams;
    std::shared_ptr<mix::Mixer> mixer;
    std::shared_ptr<EventQueue> events;
    std::set<std::shared_ptr<source::HttpSource>> opening;
    {
        std::lock_guard lock(mutex_);
        if (!initialised_)
            return;
        initialised_ = false;
        ++epoch_;
        streams = streams_.removeAll();
        effects_.removeAll();
        mixer = std::move(mixer_);
        events = std::move(events_);
        opening.swap(opening_);
    }
    for (auto& s : streams)
        s->release();
    for (auto& s : opening)
        s->abort();
    mixer->stop();
    events->stop();
    threads_->waitIdle();
}

OpenResult EngineCore::openUrl(std::string_view url, DownloadCallback onDownload) {
    OpenContext context;
    std::uint64_t epoch = 0;
    double outputSpeed = 1.0;
    {
        std::lock_guard lock(mutex_);
        if (!initialised_)
            return {{}, {OpenErrorKind::NotInitialised, 0, "init() has not succeeded"}};
        context.options = options_;
        context.outputRate = sampleRate_;
        outputSpeed = outputSpeed_;
        epoch = epoch_;
    }
    context.threads = threads_;
    context.track = [this, epoch](const std::shared_ptr<source::HttpSource>& src) {
        std::lock_guard lock(mutex_);
        if (!initialised_ || epoch_ != epoch)
            return false;
        opening_.insert(src);
        return true;
    };
    context.untrack = [this](const std::shared_ptr<source::HttpSource>& src) {
        std::lock_guard lock(mutex_);
        opening_.erase(src);
    };
    OpenError error;
    OpenedStream opened = openStream(std::string(url), context, error);
    if (!opened.source)
        return {{}, error};

    const Options& options = context.options;
    auto stream = std::make_shared<StreamCore>();
    stream->source = opened.source;
    std::int64_t bitRate = opened.response.bitrateKbps > 0 ? std::int64_t{opened.response.bitrateKbps} * 1000
                                                           : opened.decoder->bitRate();
    if (bitRate <= 0)
        bitRate = kDefaultBitRate;
    const auto networkBytes = static_cast<std::uint64_t>(
        std::max<std::int64_t>(std::int64_t{std::max(options.networkBufferMs, 500)} * bitRate / 8000, 4096));
    const bool knownLength =
        opened.response.contentLength > 0 && opened.response.contentLength <= kMaxKnownLength;
    stream->endBytes = knownLength ? static_cast<std::uint64_t>(opened.response.contentLength) : networkBytes;
    const int prebufferPercent = std::clamp(options.prebufferPercent, 0, 100);
    const std::uint64_t prebufferBytes = networkBytes * static_cast<std::uint64_t>(prebufferPercent) / 100;

    const int playbackMs = std::clamp(options.playbackBufferMs, 100, 5000);
    auto track = std::make_shared<mix::Track>(static_cast<std::size_t>(context.outputRate) *
                                              static_cast<std::size_t>(playbackMs) / 1000);
    track->prebuffer = prebufferBytes > 0;
    track->outputSpeed = outputSpeed;
    track->buffering.store(track->prebuffer, std::memory_order_relaxed);
    track->prebuffered = [src = opened.source, prebufferBytes] {
        // Lock-free reads only: this runs inside the render callback. A source held back by its full
        // buffer waits until the level falls to half, which may be below the mark: it was filled.
        return src->finished() || src->heldBack() || src->downloaded() - src->consumed() >= prebufferBytes;
    };
    track->networkDry = [src = opened.source] {
        return !src->finished() && src->downloaded() - src->consumed() < 4096;
    };
    stream->track = track;

    std::shared_ptr<mix::Mixer> mixer;
    std::shared_ptr<EventQueue> events;
    {
        std::lock_guard lock(mutex_);
        opening_.erase(opened.source);
        if (!initialised_ || epoch_ != epoch) {
            opened.source->abort();
            return {{}, {OpenErrorKind::Aborted, 0, "the engine was freed"}};
        }
        stream->handle = streams_.add(stream);
        if (stream->handle == 0) {
            opened.source->abort();
            return {{}, {OpenErrorKind::TooManyStreams, 0, ""}};
        }
        track->streamHandle = stream->handle;
        mixer = mixer_;
        events = events_;
    }
    track->markHeard = [events, handle = stream->handle](std::uint64_t heardFrame) {
        events->post({QueuedEvent::Kind::TitlesHeard, handle, {}, heardFrame});
    };
    mixer->add(track);

    if (auto tag = opened.decoder->takeCommentTag())
        stream->setTag(*tag, false);
    std::weak_ptr<StreamCore> weakStream = stream;
    const std::uint32_t handle = stream->handle;
    const bool immediate = options.immediateMetadata;
    auto announce = [weakStream, events, handle](const std::string& text) {
        if (auto s = weakStream.lock())
            s->setTag(text, true);
        events->post({QueuedEvent::Kind::Metadata, handle, text});
    };
    // Download thread: a metadata block, at the stream byte where it arrived.
    auto onBlock = [weakStream, announce, immediate](const std::string& text, std::uint64_t byte) {
        if (immediate) {
            announce(text);
        } else if (auto s = weakStream.lock()) {
            s->titleAtByte(text, byte);
        }
    };
    // Decode thread: a title from the stream's own comments, where the audio after them starts.
    auto onComment = [weakStream, announce, immediate](const std::string& text, std::uint64_t frame) {
        if (immediate) {
            announce(text);
        } else if (auto s = weakStream.lock()) {
            s->titleAtFrame(text, frame);
        }
    };
    const int stallMs = std::max(options.connectTimeoutMs, 15000);
    const std::uint64_t bufferLimit = knownLength ? stream->endBytes + 65536 : networkBytes;
    // The first block received while opening names what the station plays as we join: it is the
    // tag at once, without a notification (with immediate notification, the latest is). Any later
    // one is a change, and waits for its audio.
    auto early = opened.source->accept(std::move(onDownload), onBlock, bufferLimit, stallMs);
    if (!early.empty())
        stream->setTag(immediate ? early.back().first : early.front().first, false);
    for (std::size_t i = 1; i < early.size() && !immediate; ++i)
        stream->titleAtByte(early[i].first, early[i].second);

    const auto titleDelayFrames = static_cast<std::uint64_t>(context.outputRate * kTitleDelayMs / 1000);
    threads_->spawn([stream, decoder = std::shared_ptr<decode::Decoder>(std::move(opened.decoder)),
                     rate = context.outputRate, titleDelayFrames, onComment]() mutable {
        runDecodeThread(std::move(stream), std::move(decoder), rate, titleDelayFrames, onComment);
    });
    return {StreamHandle{handle}, {}};
}

bool EngineCore::play(StreamHandle h) {
    std::lock_guard lock(mutex_);
    auto s = streams_.get(h.value);
    if (!s)
        return false;
    s->track->playing.store(true, std::memory_order_release);
    s->source->setEagerRefill(false);
    {
        std::lock_guard wake(s->wakeMutex); // the decode thread may be sleeping on a full ring
        s->wakeCv.notify_all();
    }
    mixer_->wake();
    return true;
}

bool EngineCore::stop(StreamHandle h) {
    std::lock_guard lock(mutex_);
    auto s = streams_.get(h.value);
    if (!s)
        return false;
    s->track->playing.store(false, std::memory_order_release);
    s->source->setEagerRefill(true);
    return true;
}

bool EngineCore::freeStream(StreamHandle h) {
    std::shared_ptr<StreamCore> s;
    {
        std::lock_guard lock(mutex_);
        s = streams_.remove(h.value);
        if (!s)
            return false;
        for (auto e : s->effects)
            effects_.remove(e);
        s->track->playing.store(false, std::memory_order_release);
        mixer_->remove(s->track);
    }
    s->release();
    return true;
}

bool EngineCore::onMetadata(StreamHandle h, MetadataCallback callback) {
    std::lock_guard lock(mutex_);
    auto s = streams_.get(h.value);
    if (!s || !callback)
        return false;
    s->metadataListeners.push_back(std::move(callback));
    return true;
}

bool EngineCore::onEnd(StreamHandle h, EndCallback callback) {
    std::lock_guard lock(mutex_);
    auto s = streams_.get(h.value);
    if (!s || !callback)
        return false;
    s->endListeners.push_back(std::move(callback));
    return true;
}

void EngineCore::dispatch(const QueuedEvent& event) {
    std::shared_ptr<StreamCore> s;
    std::vector<MetadataCallback> metadata;
    std::vector<EndCallback> ends;
    {
        std::lock_guard lock(mutex_);
        s = streams_.get(event.stream);
        if (!s)
            return; // freed meanwhile: a stale event
        if (event.kind == QueuedEvent::Kind::End) {
            ends = s->endListeners;
        } else {
            metadata = s->metadataListeners;
        }
    }
    std::vector<std::string> tags;
    if (event.kind == QueuedEvent::Kind::Metadata) {
        tags.push_back(event.tag);
    } else if (event.kind == QueuedEvent::Kind::TitlesHeard) {
        tags = s->takeHeardTitles(event.frame); // the tag changes here, as the notification goes out
    }
    common::ThreadGroup::CallbackScope scope(*threads_);
    for (const auto& tag : tags) {
        for (auto& callback : metadata)
            callback(MetadataEvent{StreamHandle{event.stream}, tag});
    }
    for (auto& callback : ends)
        callback(EndEvent{StreamHandle{event.stream}});
}

EffectHandle EngineCore::addEffect(StreamHandle h, EffectType type, int priority) {
    std::lock_guard lock(mutex_);
    auto s = streams_.get(h.value);
    if (!s)
        return {};
    auto core = std::make_shared<EffectCore>();
    core->type = type;
    core->stream = s;
    if (type == EffectType::ParametricEq) {
        core->effect = std::make_shared<fx::ParamEq>(priority, sampleRate_);
    } else {
        core->effect = std::make_shared<fx::Reverb>(priority, sampleRate_);
    }
    auto effect = core->effect;
    std::uint32_t handle = effects_.add(std::move(core));
    if (handle == 0)
        return {};
    s->effects.push_back(handle);
    mixer_->addEffect(s->track, std::move(effect));
    return EffectHandle{handle};
}

bool EngineCore::removeEffect(EffectHandle e) {
    std::lock_guard lock(mutex_);
    auto core = effects_.remove(e.value);
    if (!core)
        return false;
    if (auto s = core->stream.lock()) {
        std::erase(s->effects, e.value);
        mixer_->removeEffect(s->track, core->effect);
    }
    return true;
}

template <class Params, class Fx>
bool EngineCore::getParameters(EffectHandle e, EffectType type, Params& out) const {
    std::lock_guard lock(mutex_);
    auto core = effects_.get(e.value);
    if (!core || core->type != type)
        return false;
    out = static_cast<const Fx&>(*core->effect).get();
    return true;
}

template <class Params, class Fx>
bool EngineCore::setParameters(EffectHandle e, EffectType type, const Params& params) {
    std::lock_guard lock(mutex_);
    auto core = effects_.get(e.value);
    if (!core || core->type != type)
        return false;
    static_cast<Fx&>(*core->effect).set(params);
    return true;
}

} // namespace detail

// ---------------------------------------------------------------------------------------------
// Engine: a thin facade; every call is safe from any thread.

Engine::Engine() : core_(std::make_shared<detail::EngineCore>()) {}

Engine::~Engine() {
    core_->free();
}

bool Engine::init(const EngineConfig& config) {
    return core_->init(config);
}

void Engine::free() {
    core_->free();
}

bool Engine::initialised() const {
    return core_->initialised();
}

std::string Engine::initError() const {
    return core_->initError();
}

void Engine::setOptions(const Options& options) {
    core_->setOptions(options);
}

Options Engine::options() const {
    return core_->options();
}

OpenResult Engine::openUrl(std::string_view url, DownloadCallback onDownload) {
    return core_->openUrl(url, std::move(onDownload));
}

bool Engine::play(StreamHandle stream, bool /*restart*/) {
    return core_->play(stream);
}

bool Engine::stop(StreamHandle stream) {
    return core_->stop(stream);
}

bool Engine::freeStream(StreamHandle stream) {
    return core_->freeStream(stream);
}

bool Engine::setVolume(StreamHandle stream, float volume) {
    if (std::isnan(volume))
        return false;
    auto s = core_->stream(stream);
    if (!s)
        return false;
    s->track->volume.store(std::clamp(volume, 0.0f, 1.0f), std::memory_order_relaxed);
    return true;
}

std::optional<float> Engine::volume(StreamHandle stream) const {
    auto s = core_->stream(stream);
    if (!s)
        return std::nullopt;
    return s->track->volume.load(std::memory_order_relaxed);
}

StreamStatus Engine::status(StreamHandle stream) const {
    auto s = core_->stream(stream);
    if (!s)
        return StreamStatus::Invalid;
    const auto& t = *s->track;
    if (t.ended.load(std::memory_order_acquire))
        return StreamStatus::Ended;
    if (!t.playing.load(std::memory_order_acquire))
        return StreamStatus::Stopped;
    return t.buffering.load(std::memory_order_relaxed) ? StreamStatus::Buffering : StreamStatus::Playing;
}

std::uint64_t Engine::filePosition(StreamHandle stream, Position which) const {
    auto s = core_->stream(stream);
    if (!s)
        return kPositionFailed;
    switch (which) {
    case Position::Current:
        return s->source->consumed();
    case Position::Download:
        return s->source->downloaded();
    case Position::End:
        return s->endBytes;
    }
    return kPositionFailed;
}

std::optional<std::string> Engine::metadataTag(StreamHandle stream) const {
    auto s = core_->stream(stream);
    if (!s)
        return std::nullopt;
    return s->tag();
}

bool Engine::onMetadata(StreamHandle stream, MetadataCallback callback) {
    return core_->onMetadata(stream, std::move(callback));
}

bool Engine::onEnd(StreamHandle stream, EndCallback callback) {
    return core_->onEnd(stream, std::move(callback));
}

EffectHandle Engine::addEffect(StreamHandle stream, EffectType type, int priority) {
    return core_->addEffect(stream, type, priority);
}

bool Engine::removeEffect(EffectHandle effect) {
    return core_->removeEffect(effect);
}

bool Engine::getParameters(EffectHandle effect, EqBandParams& out) const {
    return core_->getParameters<EqBandParams, fx::ParamEq>(effect, EffectType::ParametricEq, out);
}

bool Engine::setParameters(EffectHandle effect, const EqBandParams& params) {
    return core_->setParameters<EqBandParams, fx::ParamEq>(effect, EffectType::ParametricEq, params);
}

bool Engine::getParameters(EffectHandle effect, ReverbParams& out) const {
    return core_->getParameters<ReverbParams, fx::Reverb>(effect, EffectType::Reverb, out);
}

bool Engine::setParameters(EffectHandle effect, const ReverbParams& params) {
    return core_->setParameters<ReverbParams, fx::Reverb>(effect, EffectType::Reverb, params);
}

} // namespace tembrik::audio
