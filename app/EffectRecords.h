#pragma once
// Parameter records of the two effects the program puts on a stream: a band of the parametric
// equalizer and the reverb. PlayerState keeps the GUI thread's working records; playback/ passes
// them to the audio engine. They live here, below both, so the state record needs nothing of
// playback/.

struct EqRecord {
    float Center = 0, Bandwidth = 0, Gain = 0;
};
struct ReverbRecord {
    float InGain = 0, ReverbMix = 0, ReverbTime = 0, HighFreqRTRatio = 0;
};
