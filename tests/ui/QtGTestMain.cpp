// GoogleTest entry for widget tests: one QApplication for the whole run, created before any test.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Without a screen (listing tests, a plain terminal) the widgets draw off-screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tembrik");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
