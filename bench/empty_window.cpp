// The baseline of start_bench: Qt alone starting and showing an empty window
// of the main window's size, reporting its first paint through the same
// start-up probe as the program (TUNRAX_STARTUP_PROBE must be set).
//
//   empty_window [--size=WIDTHxHEIGHT]   (default 575x400)
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "app/StartupProbe.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int width = 575, height = 400;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--size=", 7) == 0 &&
            std::sscanf(argv[i] + 7, "%dx%d", &width, &height) != 2) {
            std::fprintf(stderr, "empty_window: --size=WIDTHxHEIGHT expected\n");
            return 2;
        }
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Leeres Fenster"));
    window.resize(width, height);
    tunrax::InstallStartupProbe(&window);
    window.show();
    return QApplication::exec();
}
