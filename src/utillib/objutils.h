#pragma once

#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QStringList>

// The property table of a persisted class, read from Qt's meta-object system.
// A Q_PROPERTY is "published"; one declared DESIGNABLE false is "public".
// QObject's own properties (objectName) are not part of any table.
enum class TPropVisibility { mvPrivate, mvProtected, mvPublic, mvPublished };
using TPropVisibilities = QList<TPropVisibility>;

enum class TPropKind { pkString, pkInteger, pkBoolean, pkEnumeration, pkSet, pkObject, pkOther };

struct TPropInfo {
    QMetaProperty Prop;
    TPropVisibility Visibility;
    TPropKind Kind;
    QString Name;
    QByteArray Latin1Name; // the element name, ready for the XML layer
    bool Readable() const { return Prop.isReadable(); }
    bool Writable() const { return Prop.isWritable(); }
};

class TPropTable {
public:
    // Inherited first (root-most class), each class in declaration order; a
    // redeclared property keeps its inherited position but the most derived
    // declaration. The result is cached per class.
    static const QList<TPropInfo>& StorageOrder(const QMetaObject* mo);
    // The class's own properties first, then its parent's, and so on up.
    static QList<TPropInfo> CopyOrder(const QMetaObject* mo);
    // First match in copy order, names compared case-insensitively; nullptr if none.
    static const TPropInfo* Find(const QMetaObject* mo, const QString& name);
    static TPropKind KindOf(const QMetaProperty& prop);
};

// Reflective copies between objects by property name.
class TObjUtil {
public:
    static void RttiCopyProperty(QObject* src, QObject* dest, const QString& propName);
    static void RttiCopyProperties(QObject* src, QObject* dest, const TPropVisibilities& visibilities,
                                   bool exclude, const QStringList& propNames);
    // Copies one value from src's property to dest's property, both already
    // looked up. Object values are handed to the destination's setter, which
    // copies their content.
    static void CopyPropValue(QObject* src, const TPropInfo* srcProp, QObject* dest, const TPropInfo* destProp);
};
