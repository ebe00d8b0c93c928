// Playback on the main window: the play request, the playback commands, volume and mute, the
// now-playing line, and the engine operations of the start-up sequence.
#include "Unit1.h"

void TForm1::LoadAudioAddOns() {}
bool TForm1::InitAudioEngine() {
    return true;
}
void TForm1::FreeAudioEngine() {}
void TForm1::ResetAudioEngine() {}
void TForm1::ConfigureEngine() {}
void TForm1::LoadEqualizer() {}
void TForm1::AttachEffectChain() {}
void TForm1::SetStreamVolume(float) {}
void TForm1::HandOverNetworkTexts(bool) {}

void TForm1::Button3Click() {}
void TForm1::sBitBtn2Click() {}
void TForm1::sBitBtn3Click() {}
void TForm1::sBitBtn1Click() {}
void TForm1::sTrackBar1Change() {}
void TForm1::Image2Click() {}
void TForm1::Timer2Timer() {}
void TForm1::RxLabel7MouseDown(QMouseEvent*) {}
void TForm1::RxLabel7MouseEnter() {}
void TForm1::RxLabel7MouseLeave() {}
