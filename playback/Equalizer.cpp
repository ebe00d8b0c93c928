#include "Equalizer.h"

#include "AudioApi.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Integer.h"
#include "tembrik/platform/TextFile.h"

#include <string>
#include <vector>

namespace playback {

EffectChain CreateEffectChain(std::uint32_t stream) {
    AudioApi& audio = Audio();
    EffectChain chain;
    for (auto& band : chain.bands)
        band = audio.ChannelSetFX(stream, FxType::ParamEq);
    chain.reverb = audio.ChannelSetFX(stream, FxType::Reverb);

    EqRecord eq;
    eq.Gain = 0;
    eq.Bandwidth = BandWidthSemitones;
    for (std::size_t k = 0; k < chain.bands.size(); ++k) {
        eq.Center = BandCentres[k];
        audio.FXSetParameters(chain.bands[k], eq);
    }
    ReverbRecord reverb;
    audio.FXGetParameters(chain.reverb, reverb);
    reverb.ReverbMix = -96;
    reverb.ReverbTime = 1500;
    reverb.HighFreqRTRatio = 0.1f;
    audio.FXSetParameters(chain.reverb, reverb);
    return chain;
}

void AttachEffectChain(std::uint32_t stream) {
    MakeChainCurrent(CreateEffectChain(stream));
}

void MakeChainCurrent(const EffectChain& chain) {
    PlayerState& s = State();
    for (std::size_t k = 0; k < chain.bands.size(); ++k)
        s.EqualizerFx[k] = chain.bands[k];
    s.ReverbFx = chain.reverb;
}

void SetChainBandGain(const EffectChain& chain, int band, float gainDb) {
    if (band < 1 || band > 10)
        return;
    const std::uint32_t fx = chain.bands[static_cast<std::size_t>(band - 1)];
    EqRecord record;
    Audio().FXGetParameters(fx, record);
    record.Gain = gainDb;
    Audio().FXSetParameters(fx, record);
}

void SetBandGain(int band, float gainDb) {
    if (band < 1 || band > 10)
        return;
    PlayerState& s = State();
    const std::uint32_t fx = s.EqualizerFx[static_cast<std::size_t>(band - 1)];
    Audio().FXGetParameters(fx, s.EqBandParams);
    s.EqBandParams.Gain = gainDb;
    Audio().FXSetParameters(fx, s.EqBandParams);
}

bool ApplyStoredBands(const EffectChain& chain) {
    const PlayerState& s = State();
    if (s.EqualizerEnabled != 1)
        return false;
    for (int k = 1; k <= 10; ++k)
        SetChainBandGain(chain, k,
                         static_cast<float>(15 - s.EqualizerBands[static_cast<std::size_t>(k - 1)]));
    return true;
}

void LoadEqualizer(const std::filesystem::path& programDir) {
    const auto lines = tembrik::platform::TextLines::read(programDir / "equalizer.txt");
    PlayerState& s = State();
    for (std::size_t k = 0; k < 10; ++k)
        s.EqualizerBands[k] = tembrik::platform::parseInt(lines.line(k));
}

void SaveEqualizer(const std::filesystem::path& programDir, const std::array<int, 10>& positions) {
    std::vector<std::string> lines;
    for (int p : positions)
        lines.push_back(std::to_string(p));
    tembrik::platform::replaceTextFile(programDir / "equalizer.txt", lines);
    PlayerState& s = State();
    for (std::size_t k = 0; k < 10; ++k)
        s.EqualizerBands[k] = positions[k];
}

} // namespace playback
