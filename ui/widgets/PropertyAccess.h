// Access to a control's properties by name through Qt's property system, for
// the persistence of control values. Names are looked up without regard to
// letter case ("TEXT" finds text); the first matching property decides.
#pragma once

#include <QString>
#include <cstdint>

class QObject;

namespace tunrax {

// The kinds of property the persistence tells apart: Booleans and enumerations
// are ordinal values, texts are strings; everything else is of no use to it.
enum TTypeKind { tkUnknown, tkInteger, tkEnumeration, tkFloat, tkString, tkOther };

// True when the object has a property of that name and, unless kind is
// tkUnknown, of that kind. False for no object.
bool HasProperty(const QObject* instance, const QString& name, TTypeKind kind = tkUnknown);
// The kind of the named property and the name of its type; tkUnknown and an
// empty name when there is no such property.
TTypeKind GetPropertyKind(const QObject* instance, const QString& name,
                          QString* typeName = nullptr);
// The ordinal value of an enumeration (or Boolean) property; 0 otherwise.
int64_t GetOrdinalProperty(const QObject* instance, const QString& name);
// Sets an enumeration (or Boolean) property; does nothing otherwise.
void SetOrdinalProperty(QObject* instance, const QString& name, int64_t value);
// The text of a string property; empty otherwise.
QString GetStrProperty(const QObject* instance, const QString& name);
void SetStrProperty(QObject* instance, const QString& name, const QString& value);

}  // namespace tunrax
