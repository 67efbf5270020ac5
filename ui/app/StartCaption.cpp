#include "app/StartCaption.h"

#include <langinfo.h>

#include <QDate>

namespace tunrax {

namespace {

// The separator of the C library's date format for LC_TIME ("%d.%m.%Y" for
// de_DE, "%m/%d/%y" for C): the first text that is not a conversion.
QString DateSeparator() {
    const char* format = ::nl_langinfo(D_FMT);
    for (const char* p = format; p && *p;) {
        if (*p == '%') {
            ++p;
            if (*p == 'E' || *p == 'O')  // modifiers of the conversion
                ++p;
            if (*p)
                ++p;
            continue;
        }
        const char* end = p;
        while (*end && *end != '%')
            ++end;
        QString text = QString::fromLocal8Bit(p, end - p);
        if (!text.isEmpty())
            return text.left(1);
        p = end;
    }
    return QStringLiteral(".");
}

}  // namespace

QString StartCaption(const QString& title, const QString& version, const QString& buildDate) {
    const QString separator = DateSeparator();
    QDate date = QDate::fromString(buildDate, QStringLiteral("yyyy-MM-dd"));
    QString shown =
        date.isValid() ? date.toString(QStringLiteral("dd%1MM%1yy").arg(separator)) : buildDate;
    return QStringLiteral("%1 (%2 vom %3)").arg(title, version, shown);
}

}  // namespace tunrax
