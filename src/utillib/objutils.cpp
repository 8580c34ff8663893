#include "utillib/objutils.h"

#include "utillib/exceptions.h"

#include <QHash>
#include <QMetaType>
#include <mutex>

namespace {

TPropInfo MakeInfo(const QMetaProperty& p)
{
    return TPropInfo{p, p.isDesignable() ? TPropVisibility::mvPublished : TPropVisibility::mvPublic,
                     TPropTable::KindOf(p), QString::fromLatin1(p.name()), QByteArray(p.name())};
}

int FirstOwnPropertyIndex()
{
    return QObject::staticMetaObject.propertyCount();
}

} // namespace

TPropKind TPropTable::KindOf(const QMetaProperty& prop)
{
    if (prop.isFlagType())
        return TPropKind::pkSet;
    if (prop.isEnumType())
        return TPropKind::pkEnumeration;
    const QMetaType t = prop.metaType();
    switch (t.id()) {
    case QMetaType::QString: return TPropKind::pkString;
    case QMetaType::Int: return TPropKind::pkInteger;
    case QMetaType::Bool: return TPropKind::pkBoolean;
    default: break;
    }
    if (t.flags().testFlag(QMetaType::PointerToQObject))
        return TPropKind::pkObject;
    return TPropKind::pkOther;
}

const QList<TPropInfo>& TPropTable::StorageOrder(const QMetaObject* mo)
{
    // Tables are built once per class and never change afterwards; the lock
    // only guards the first build, since worker threads may copy settings.
    static std::mutex lock;
    static QHash<const QMetaObject*, QList<TPropInfo>> cache;
    std::lock_guard guard(lock);
    auto it = cache.find(mo);
    if (it != cache.end())
        return *it;
    QList<TPropInfo> table;
    for (int i = FirstOwnPropertyIndex(); i < mo->propertyCount(); ++i) {
        QMetaProperty p = mo->property(i);
        TPropInfo info = MakeInfo(p);
        bool redeclared = false;
        for (TPropInfo& existing : table) {
            if (existing.Name.compare(info.Name, Qt::CaseInsensitive) == 0) {
                existing = info;
                redeclared = true;
                break;
            }
        }
        if (!redeclared)
            table.append(info);
    }
    return *cache.insert(mo, table);
}

QList<TPropInfo> TPropTable::CopyOrder(const QMetaObject* mo)
{
    QList<TPropInfo> result;
    for (const QMetaObject* cls = mo; cls && cls != &QObject::staticMetaObject; cls = cls->superClass())
        for (int i = cls->propertyOffset(); i < cls->propertyCount(); ++i)
            result.append(MakeInfo(cls->property(i)));
    return result;
}

const TPropInfo* TPropTable::Find(const QMetaObject* mo, const QString& name)
{
    // The storage table already holds the most derived declaration of each name.
    for (const TPropInfo& info : StorageOrder(mo))
        if (info.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &info;
    return nullptr;
}

void TObjUtil::CopyPropValue(QObject* src, const TPropInfo* srcProp, QObject* dest, const TPropInfo* destProp)
{
    if (!srcProp || !destProp)
        return;
    if (!srcProp->Readable())
        throw EPropertyError(srcProp->Name); // a write-only property
    if (!destProp->Writable())
        throw EPropertyError(destProp->Name); // a read-only property
    QVariant value = srcProp->Prop.read(src);
    if (srcProp->Kind == TPropKind::pkObject) {
        // Hand the object to the destination's setter in the setter's own type.
        QObject* obj = value.value<QObject*>();
        const QMetaObject* want = destProp->Prop.metaType().metaObject();
        if (obj && want && !obj->metaObject()->inherits(want))
            throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                                    .arg(QString::fromLatin1(obj->metaObject()->className()),
                                         QString::fromLatin1(want->className())));
        QVariant typed(destProp->Prop.metaType(), &obj);
        destProp->Prop.write(dest, typed);
        return;
    }
    if (destProp->Kind == TPropKind::pkEnumeration || destProp->Kind == TPropKind::pkSet)
        value = QVariant(value.toInt());
    destProp->Prop.write(dest, value);
}

void TObjUtil::RttiCopyProperty(QObject* src, QObject* dest, const QString& propName)
{
    if (!src || !dest)
        return;
    CopyPropValue(src, TPropTable::Find(src->metaObject(), propName), dest,
                  TPropTable::Find(dest->metaObject(), propName));
}

void TObjUtil::RttiCopyProperties(QObject* src, QObject* dest, const TPropVisibilities& visibilities,
                                  bool exclude, const QStringList& propNames)
{
    if (!src || !dest)
        return;
    if (!exclude) {
        for (const QString& name : propNames)
            RttiCopyProperty(src, dest, name);
        return;
    }
    const QList<TPropInfo> srcProps = TPropTable::CopyOrder(src->metaObject());
    for (const TPropInfo& sp : srcProps) {
        if (propNames.contains(sp.Name, Qt::CaseInsensitive))
            continue;
        const TPropInfo* dp = TPropTable::Find(dest->metaObject(), sp.Name);
        if (!dp)
            continue;
        if (!visibilities.contains(sp.Visibility) || !visibilities.contains(dp->Visibility))
            continue;
        CopyPropValue(src, TPropTable::Find(src->metaObject(), sp.Name), dest, dp);
    }
}
