// The FFmpeg decoder lives in a module of its own (tembrik-audio-ffmpeg.so beside the program),
// loaded with dlopen() the first time a stream needs a format other than MPEG audio: a process
// that plays MP3 maps none of FFmpeg's libraries, and their loading costs nothing at start.
#pragma once

#include <string>

#include "decode/Input.h"

#define TEMBRIK_FFMPEG_EXPORT __attribute__((visibility("default")))

namespace tembrik::audio::decode {

// Raised whenever the types the module and the library share (Decoder, Input, Attempt) change:
// a module from another build is refused instead of called.
constexpr int kFfmpegModuleAbi = 1;

// The module's entry: opens the attempt's format; nullptr with the reason in `failure`. The caller
// owns the result.
using FfmpegOpen = Decoder* (*)(const Attempt& attempt, AttemptFailure& failure);

// The module's entry, loading the module on the first call (any thread). nullptr when it cannot be
// loaded, with the reason in `error`. A failure is not remembered: a module installed later is
// found by the next stream. The environment variable TEMBRIK_FFMPEG_MODULE names another file.
FfmpegOpen ffmpegModule(std::string& error);

} // namespace tembrik::audio::decode
