#include <QCoreApplication>
#include <gtest/gtest.h>

// The player needs an application object for its queued event drains; tests wait in its event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
