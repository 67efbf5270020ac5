// main() of the main-window tests: the program's own application object (so
// that its error display is what the tests meet), on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Application.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tunrax::TApplication app(argc, argv);
    tunrax::TApplication::setApplicationName(QStringLiteral("Tunrax"));
    tunrax::TApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
