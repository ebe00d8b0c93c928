#pragma once
// The ten-band equalizer on every main-engine stream: ten peaking bands and an inaudible reverb,
// the stored band positions and their file equalizer.txt. A position p (0..30) means 15 - p dB.
#include <array>
#include <cstdint>
#include <filesystem>

namespace playback {

inline constexpr std::array<float, 10> BandCentres = {80,   170,  310,   600,   1000,
                                                      3000, 7000, 12000, 14000, 16000};
inline constexpr float BandWidthSemitones = 18;

struct EffectChain {
    std::array<std::uint32_t, 10> bands{};
    std::uint32_t reverb = 0;
};

// Creates the eleven effects on the stream with their fixed parameters. Any thread; touches no
// shared state, so the caller decides whether the chain becomes the current one.
EffectChain CreateEffectChain(std::uint32_t stream);

// Makes the chain the current one in PlayerState (EqualizerFx, ReverbFx).
void MakeChainCurrent(const EffectChain& chain);

// Creates the chain and makes it the current one.
void AttachEffectChain(std::uint32_t stream);

// Sets band k (1..10) of the chain to the gain, reading and writing a record of the caller's own.
void SetChainBandGain(const EffectChain& chain, int band, float gainDb);

// Band k (1..10) of the current stream's chain: the Options window's sliders. GUI thread.
void SetBandGain(int band, float gainDb);

// When the equalizer is on (EqualizerEnabled is exactly 1), sets every band of the chain to its
// stored position. Returns whether it did.
bool ApplyStoredBands(const EffectChain& chain);

// Reads equalizer.txt into EqualizerBands; raises FileError or ConvertError and keeps what it read.
void LoadEqualizer(const std::filesystem::path& programDir);

// Writes the ten positions to equalizer.txt, then copies them into EqualizerBands. On a failure
// the error is raised, the old file stays whole and EqualizerBands keeps its values.
void SaveEqualizer(const std::filesystem::path& programDir, const std::array<int, 10>& positions);

} // namespace playback
