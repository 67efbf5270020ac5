// Remembers chosen control properties (a check box's "checked", an edit
// field's "text") in a section of the settings file. The window registers each
// property with its key and default, then loads or saves all of them when it
// sees fit; values go to the settings file one key at a time, in the order of
// registration.
//
// AddItem throws PropertyConvertError for a property the control lacks or
// whose type cannot be stored; LoadValues/SaveValues throw tunrax::Error when
// the settings file cannot be written. The controls are not owned.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

#include "io/Error.h"
#include "widgets/PropertyAccess.h"

namespace tunrax {

class TIniFile;

class PropertyConvertError : public Error {
public:
    using Error::Error;
};

class TPersistentProperties : public QObject {
    Q_OBJECT

public:
    TPersistentProperties(QObject* owner, TIniFile& settings);

    // The section of every item registered without one of its own.
    std::string Group;

    // A Boolean property needs a Boolean default; a text property takes any
    // default that converts to text. An empty section means Group.
    void AddItem(QObject* control, const QString& propertyName, const std::string& section,
                 const std::string& key, const QVariant& defaultValue);
    void LoadValues();
    void SaveValues();

    int ItemCount() const { return static_cast<int>(FItems.size()); }

private:
    struct TPersistentProperty {
        QString PropertyName;
        QPointer<QObject> Control;
        TTypeKind Kind;
        std::string Key;
        std::string Section;
        QVariant Default;
        bool IsBoolean() const;
    };
    const std::string& SectionOf(const TPersistentProperty& item) const;

    TIniFile& FSettings;
    std::vector<TPersistentProperty> FItems;
};

}  // namespace tunrax
