// The main window's caption once the program has started. Nothing here
// throws.
#pragma once

#include <QString>

namespace tunrax {

// "Tunrax (1.2.3.4 vom 17.01.12)" for a title, version and build date
// (yyyy-mm-dd), with the date separator of the C library's date format for
// LC_TIME; a date that is not valid is shown as it is.
QString StartCaption(const QString& title, const QString& version, const QString& buildDate);

}  // namespace tunrax
