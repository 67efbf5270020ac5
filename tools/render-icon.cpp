// render-icon: draws an SVG file as square PNG images of the given sizes, on
// a transparent background. The build uses it to make the program's icon in
// every size of the icon theme, so no PNG needs to live in the source tree.
//
// Aufruf: render-icon BILD.svg GRÖSSE AUSGABE.png [GRÖSSE AUSGABE.png ...]
// Exit status: 0 done, 1 an image could not be drawn or saved, 2 wrong arguments.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

constexpr int kMaxSize = 4096;

void Complain(const QString& text) {
    std::fprintf(stderr, "render-icon: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char* argv[]) {
    // A build machine has no display; the offscreen platform is enough for
    // drawing into an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4 || args.size() % 2 != 0) {
        Complain(QStringLiteral(
            "Aufruf: render-icon BILD.svg GRÖSSE AUSGABE.png [GRÖSSE AUSGABE.png ...]"));
        return 2;
    }

    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        Complain(QStringLiteral("%1 ist kein lesbares SVG-Bild.").arg(args.at(1)));
        return 1;
    }

    for (qsizetype i = 2; i < args.size(); i += 2) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > kMaxSize) {
            Complain(QStringLiteral("Ungültige Größe: %1").arg(args.at(i)));
            return 2;
        }
        const QString output = args.at(i + 1);

        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }

        const QString folder = QFileInfo(output).absolutePath();
        if (!QDir().mkpath(folder)) {
            Complain(QStringLiteral("Ordner %1 lässt sich nicht anlegen.").arg(folder));
            return 1;
        }
        if (!image.save(output, "PNG")) {
            Complain(QStringLiteral("%1 lässt sich nicht speichern.").arg(output));
            return 1;
        }
    }
    return 0;
}
