#include "utillib/persistent.h"

#include <QHash>
#include <QMetaClassInfo>
#include <mutex>
#include <algorithm>

QString TPersistent::ClassNameOf(const QMetaObject* mo)
{
    if (!mo)
        return QStringLiteral("nil");
    // Only the class's own Q_CLASSINFO counts: a descendant must not inherit
    // its parent's reported name.
    for (int i = mo->classInfoOffset(); i < mo->classInfoCount(); ++i) {
        QMetaClassInfo info = mo->classInfo(i);
        if (qstrcmp(info.name(), "ClassName") == 0)
            return QString::fromLatin1(info.value());
    }
    return QString::fromLatin1(mo->className());
}

void TPersistent::Assign(TPersistent* source)
{
    if (!source)
        throw EConvertError(QStringLiteral("Cannot assign a nil to a %1").arg(ClassName()));
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest)
{
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                            .arg(ClassName(), dest ? dest->ClassName() : QStringLiteral("nil")));
}

void TStringList::Assign(TPersistent* source)
{
    if (auto* src = qobject_cast<TStringList*>(source)) {
        FLines = src->FLines;
        return;
    }
    TPersistent::Assign(source);
}

int TCollectionItem::Index() const
{
    return FCollection ? FCollection->IndexOf(this) : -1;
}

void TCollectionItem::SetIndex(int value)
{
    int cur = Index();
    if (FCollection && cur >= 0 && value != cur)
        FCollection->Move(cur, value);
}

TCollection::TCollection(const QMetaObject* itemClass, QObject* parent)
    : TPersistent(parent), FItemClass(itemClass ? itemClass : &TCollectionItem::staticMetaObject)
{
}

TCollection::~TCollection()
{
    // Items go first-in last-out without notifications: the collection's
    // descendants are already destroyed here.
    FItems.clear();
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::Add()
{
    return Insert(Count());
}

TCollectionItem* TCollection::Insert(int index)
{
    index = std::clamp(index, 0, Count());
    std::unique_ptr<QObject> obj(NewInstance(FItemClass));
    auto* item = qobject_cast<TCollectionItem*>(obj.get());
    if (!item)
        throw EConvertError(QStringLiteral("Cannot create an item of class %1").arg(ClassNameOf(FItemClass)));
    obj.release();
    item->FCollection = this;
    FItems.insert(FItems.begin() + index, std::unique_ptr<TCollectionItem>(item));
    Notify(item, TCollectionNotification::cnAdded);
    return item;
}

void TCollection::Delete(int index)
{
    TCollectionItem* item = Items(index);
    Notify(item, TCollectionNotification::cnDeleting);
    FItems.erase(FItems.begin() + index);
}

void TCollection::Clear()
{
    BeginUpdate();
    while (Count() > 0)
        Delete(Count() - 1);
    EndUpdate();
}

void TCollection::Move(int curIndex, int newIndex)
{
    Items(curIndex);
    newIndex = std::clamp(newIndex, 0, Count() - 1);
    if (curIndex == newIndex)
        return;
    auto item = std::move(FItems[static_cast<size_t>(curIndex)]);
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, std::move(item));
}

int TCollection::IndexOf(const TCollectionItem* item) const
{
    // A new item asks for its place while it is named (reading a file adds
    // every preset at the end): looking at the end first keeps a file of many
    // presets from taking time that grows with the square of their number.
    if (!FItems.empty() && FItems.back().get() == item)
        return Count() - 1;
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item)
            return static_cast<int>(i);
    return -1;
}

void TCollection::Assign(TPersistent* source)
{
    auto* src = qobject_cast<TCollection*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < src->Count(); ++i)
            Add()->Assign(src->Items(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

TClassRegistry& TClassRegistry::Instance()
{
    static TClassRegistry registry;
    return registry;
}

void TClassRegistry::RegisterClass(const QMetaObject* mo)
{
    if (mo && !GetClass(TPersistent::ClassNameOf(mo)))
        FClasses.push_back(mo);
}

void TClassRegistry::UnregisterClass(const QMetaObject* mo)
{
    FClasses.erase(std::remove(FClasses.begin(), FClasses.end(), mo), FClasses.end());
}

const QMetaObject* TClassRegistry::GetClass(const QString& name) const
{
    for (const QMetaObject* mo : FClasses)
        if (TPersistent::ClassNameOf(mo).compare(name, Qt::CaseInsensitive) == 0)
            return mo;
    return nullptr;
}

const QMetaObject* TClassRegistry::FindClass(const QString& name) const
{
    if (const QMetaObject* mo = GetClass(name))
        return mo;
    throw EClassNotFound(QStringLiteral("Class %1 not found").arg(name));
}

QObject* NewInstance(const QMetaObject* mo)
{
    // newInstance() looks its constructor up by signature text on every call;
    // collections create thousands of items while a file is read, so the
    // default constructor's index is found once per class.
    static std::mutex lock;
    static QHash<const QMetaObject*, int> ctorIndex;
    int index = -1;
    {
        std::lock_guard guard(lock);
        auto it = ctorIndex.find(mo);
        if (it == ctorIndex.end()) {
            for (int i = 0; i < mo->constructorCount(); ++i)
                if (mo->constructor(i).parameterCount() == 0) {
                    index = i;
                    break;
                }
            ctorIndex.insert(mo, index);
        } else {
            index = *it;
        }
    }
    if (index < 0)
        return nullptr;
    QObject* result = nullptr;
    void* args[] = {&result};
    mo->static_metacall(QMetaObject::CreateInstance, index, args);
    return result;
}

bool InheritsFrom(const QMetaObject* mo, const QMetaObject* cls)
{
    for (; mo; mo = mo->superClass())
        if (mo == cls)
            return true;
    return false;
}
