#pragma once
// The scripted engine every widget test starts with (see QtGTestMain.cpp).
#include "FakeAudio.h"

FakeAudio& DefaultTestAudio();
