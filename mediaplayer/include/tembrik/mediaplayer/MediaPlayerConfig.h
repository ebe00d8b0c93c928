#pragma once

#include <QString>

namespace tembrik::mediaplayer {

struct MediaPlayerConfig {
    // libmpv's audio output driver; tests use "null" where no sound server is needed.
    QString audioOutput = QStringLiteral("pulse");
    // libmpv's audio device, for example "pulse/some_sink"; empty means the output's default device.
    QString audioDevice;
    // The name the sound server shows for our stream.
    QString clientName = QStringLiteral("Tembrik");
    // Setting a URL starts playing it, as the control this stands in for does by default.
    bool autoStart = true;
    // Seconds without an answer from the server before the stream counts as failed.
    int networkTimeoutSeconds = 15;
    // Seconds of audio collected before playback starts and after an underrun.
    double prebufferSeconds = 1.0;
    // Volume 0..100 before the first setVolume().
    int initialVolume = 100;
};

} // namespace tembrik::mediaplayer
