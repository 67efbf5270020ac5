#include "widgets/PersistentProperties.h"

#include "settings/DisplayText.h"
#include "settings/IniFile.h"

namespace tunrax {

TPersistentProperties::TPersistentProperties(QObject* owner, TIniFile& settings)
    : QObject(owner), FSettings(settings) {}

bool TPersistentProperties::TPersistentProperty::IsBoolean() const {
    return Kind == tkEnumeration && Default.typeId() == QMetaType::Bool;
}

const std::string& TPersistentProperties::SectionOf(const TPersistentProperty& item) const {
    return item.Section.empty() ? Group : item.Section;
}

void TPersistentProperties::AddItem(QObject* control, const QString& propertyName,
                                    const std::string& section, const std::string& key,
                                    const QVariant& defaultValue) {
    if (!HasProperty(control, propertyName, tkUnknown)) {
        const QString className =
            control ? QString::fromLatin1(control->metaObject()->className()) : QString();
        throw PropertyConvertError(QStringLiteral("Eigenschaft %1 bei %2 nicht vorhanden")
                                       .arg(propertyName, className)
                                       .toStdString());
    }
    const TTypeKind kind = GetPropertyKind(control, propertyName);
    const bool accepted =
        (kind == tkEnumeration && defaultValue.typeId() == QMetaType::Bool) || kind == tkString;
    if (!accepted)
        throw PropertyConvertError("Dieser Typ wird nicht unterstützt");
    FItems.push_back({propertyName, control, kind, key, section, defaultValue});
}

void TPersistentProperties::LoadValues() {
    for (const TPersistentProperty& item : FItems) {
        if (!item.Control)
            continue;
        const std::string& section = SectionOf(item);
        if (item.IsBoolean()) {
            const bool value = FSettings.ReadBool(section, item.Key, item.Default.toBool());
            SetOrdinalProperty(item.Control, item.PropertyName, value ? 1 : 0);
        } else {
            const std::string value =
                FSettings.ReadString(section, item.Key, item.Default.toString().toStdString());
            SetStrProperty(item.Control, item.PropertyName,
                           QString::fromStdString(DisplayText(value)));
        }
    }
}

void TPersistentProperties::SaveValues() {
    for (const TPersistentProperty& item : FItems) {
        if (!item.Control)
            continue;
        const std::string& section = SectionOf(item);
        if (item.IsBoolean())
            FSettings.WriteBool(section, item.Key,
                                GetOrdinalProperty(item.Control, item.PropertyName) != 0);
        else
            FSettings.WriteString(section, item.Key,
                                  GetStrProperty(item.Control, item.PropertyName).toStdString());
    }
}

}  // namespace tunrax
