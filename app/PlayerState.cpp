#include "PlayerState.h"

#include <algorithm>
#include <memory>

// Never moved: the audio library holds the addresses of the text buffers for the whole run.
PlayerState& State() {
    static PlayerState state;
    return state;
}

void ResetPlayerState() {
    PlayerState* s = &State();
    std::destroy_at(s);
    std::construct_at(s);
}

void CopyNetText(std::array<char, NetTextSize>& dst, const std::string& text) {
    dst.fill('\0');
    std::copy_n(text.data(), std::min(text.size(), NetTextSize - 1), dst.data());
}
