// main() of the window tests: a QApplication on Qt's offscreen platform unless
// the environment chooses another one.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunrax"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
