// GoogleTest entry for widget tests: one QApplication for the whole run, created before any test.
#include "TestAudio.h"

#include "playback/AudioApi.h"
#include "tembrik/mediaplayer/MediaPlayerConfig.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

FakeAudio& DefaultTestAudio() {
    static FakeAudio audio;
    return audio;
}

int main(int argc, char** argv) {
    // Without a screen (listing tests, a plain terminal) the widgets draw off-screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's file dialog keeps its last folder and history in the user's configuration folder: the
    // run gets one of its own, so that the tests leave the user's alone and no test starts in a
    // folder that another test (running beside it) chose and has since deleted.
    QTemporaryDir configHome;
    if (configHome.isValid())
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    TembrikApplication app(argc, argv);
    QApplication::setApplicationName("Tembrik");
    // Windows under test never reach a sound server: the main engine is scripted (tests may
    // install their own) and the second media player plays into libmpv's null output.
    playback::SetAudioForTesting(&DefaultTestAudio());
    MediaPlayerConfigForNewWindows().audioOutput = "null";
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
