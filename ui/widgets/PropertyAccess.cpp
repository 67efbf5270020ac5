#include "widgets/PropertyAccess.h"

#include <QMetaProperty>
#include <QObject>
#include <QVariant>

namespace tunrax {

namespace {

bool FindProperty(const QObject* instance, const QString& name, QMetaProperty& found) {
    if (!instance)
        return false;
    const QMetaObject* meta = instance->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        QMetaProperty property = meta->property(i);
        if (QString::fromLatin1(property.name()).compare(name, Qt::CaseInsensitive) == 0) {
            found = property;
            return true;
        }
    }
    return false;
}

TTypeKind KindOf(const QMetaProperty& property) {
    if (property.isEnumType())
        return tkEnumeration;
    switch (property.metaType().id()) {
        case QMetaType::Bool: return tkEnumeration;
        case QMetaType::QString:
        case QMetaType::QByteArray: return tkString;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::UChar: return tkInteger;
        case QMetaType::Double:
        case QMetaType::Float: return tkFloat;
        default: return tkOther;
    }
}

}  // namespace

bool HasProperty(const QObject* instance, const QString& name, TTypeKind kind) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property))
        return false;
    return kind == tkUnknown || KindOf(property) == kind;
}

TTypeKind GetPropertyKind(const QObject* instance, const QString& name, QString* typeName) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property)) {
        if (typeName)
            typeName->clear();
        return tkUnknown;
    }
    if (typeName)
        *typeName = QString::fromLatin1(property.typeName());
    return KindOf(property);
}

int64_t GetOrdinalProperty(const QObject* instance, const QString& name) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property) || KindOf(property) != tkEnumeration)
        return 0;
    const QVariant value = property.read(instance);
    if (property.metaType().id() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    return value.toLongLong();
}

void SetOrdinalProperty(QObject* instance, const QString& name, int64_t value) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property) || KindOf(property) != tkEnumeration)
        return;
    if (property.metaType().id() == QMetaType::Bool)
        property.write(instance, QVariant(value != 0));
    else
        property.write(instance, QVariant(static_cast<int>(value)));
}

QString GetStrProperty(const QObject* instance, const QString& name) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property) || KindOf(property) != tkString)
        return {};
    const QVariant value = property.read(instance);
    if (property.metaType().id() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

void SetStrProperty(QObject* instance, const QString& name, const QString& value) {
    QMetaProperty property;
    if (!FindProperty(instance, name, property) || KindOf(property) != tkString)
        return;
    if (property.metaType().id() == QMetaType::QByteArray)
        property.write(instance, QVariant(value.toUtf8()));
    else
        property.write(instance, QVariant(value));
}

}  // namespace tunrax
