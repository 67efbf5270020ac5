// Program entry. The main window arrives with its own unit; until then the
// program opens an empty window with the program's title.
#include <QApplication>
#include <QMainWindow>

#include "settings/Vel_ini.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunrax"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tunrax"));
    tunrax::SettingsVendor = "quintor";

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tunrax"));
    window.resize(640, 480);
    window.show();
    int result = app.exec();
    tunrax::FreeSettingsFile();
    return result;
}
