// Placeholder until the pipeline lands: every call fails cleanly, so callers can link and test
// their failure paths. Replaced by the real engine.
#include "tembrik/audio/Engine.h"

namespace tembrik::audio {

namespace detail {
class EngineCore {};
}  // namespace detail

std::string OpenError::text() const { return detail; }

Engine::Engine() = default;
Engine::~Engine() = default;
bool Engine::init(const EngineConfig&) { return false; }
void Engine::free() {}
bool Engine::initialised() const { return false; }
std::string Engine::initError() const { return "not implemented yet"; }
void Engine::setOptions(const Options&) {}
Options Engine::options() const { return {}; }
OpenResult Engine::openUrl(std::string_view, DownloadCallback) {
  return {{}, {OpenErrorKind::NotInitialised, 0, "not implemented yet"}};
}
bool Engine::play(StreamHandle, bool) { return false; }
bool Engine::stop(StreamHandle) { return false; }
bool Engine::freeStream(StreamHandle) { return false; }
bool Engine::setVolume(StreamHandle, float) { return false; }
std::optional<float> Engine::volume(StreamHandle) const { return std::nullopt; }
StreamStatus Engine::status(StreamHandle) const { return StreamStatus::Invalid; }
std::uint64_t Engine::filePosition(StreamHandle, Position) const { return kPositionFailed; }
std::optional<std::string> Engine::metadataTag(StreamHandle) const { return std::nullopt; }
bool Engine::onMetadata(StreamHandle, MetadataCallback) { return false; }
bool Engine::onEnd(StreamHandle, EndCallback) { return false; }
EffectHandle Engine::addEffect(StreamHandle, EffectType, int) { return {}; }
bool Engine::removeEffect(EffectHandle) { return false; }
bool Engine::getParameters(EffectHandle, EqBandParams&) const { return false; }
bool Engine::setParameters(EffectHandle, const EqBandParams&) { return false; }
bool Engine::getParameters(EffectHandle, ReverbParams&) const { return false; }
bool Engine::setParameters(EffectHandle, const ReverbParams&) { return false; }

}  // namespace tembrik::audio
