#include "app/FavoritesChooser.h"

#include <QSignalBlocker>
#include <algorithm>

#include "collection/Collation.h"
#include "io/Error.h"
#include "settings/DisplayText.h"

namespace tunrax {

namespace {

const char kNone[] = "(keine)";

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

TFavoritesChooser::TFavoritesChooser(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("cbFavoriten"));
    setAccessibleName(QStringLiteral("Favoriten"));
    setEditable(false);
    setMinimumWidth(160);
}

std::string TFavoritesChooser::NameAt(int index) const {
    return itemData(index).toByteArray().toStdString();
}

void TFavoritesChooser::Fill(const std::vector<std::string>& names, int index) {
    const QSignalBlocker quiet(this);
    clear();
    addItem(QString::fromLatin1(kNone), QByteArray());
    for (const std::string& name : names)
        addItem(DisplayName(name), QByteArray::fromStdString(name));
    setCurrentIndex(std::min(index, count() - 1));
}

std::string TFavoritesChooser::ChosenName() const {
    const int index = currentIndex();
    return index <= 0 ? std::string() : NameAt(index);
}

void TFavoritesChooser::Choose(const std::string& name) {
    int index = 0;
    for (int i = 1; i < count() && index == 0; ++i)
        if (NameAt(i) == name)
            index = i;
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}

void TFavoritesChooser::AddList(const std::string& name, const TNameCollator& collator) {
    const QString shown = DisplayName(name);
    for (int i = 0; i < count(); ++i)
        if (itemText(i).compare(shown, Qt::CaseInsensitive) == 0)
            throw Error("Der Name ist schon vorhanden");
    int at = 1;
    while (at < count() && collator.Compare(NameAt(at), name) <= 0)
        ++at;
    const QSignalBlocker quiet(this);
    insertItem(at, shown, QByteArray::fromStdString(name));
    setCurrentIndex(at);
}

}  // namespace tunrax
