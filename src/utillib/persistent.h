#pragma once

#include "utillib/exceptions.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

// The persistent base of every stored object. Properties declared with
// Q_PROPERTY are "published" (copied and stored); those marked
// DESIGNABLE false are "public": reachable by name, never stored.
//
// Assignment follows the assign protocol: Dest.Assign(Source) asks
// Source.AssignTo(Dest) to do the work, so either side may know how.
class TPersistent : public QObject {
    Q_OBJECT
public:
    explicit TPersistent(QObject* parent = nullptr) : QObject(parent) {}
    ~TPersistent() override = default;
    Q_DISABLE_COPY_MOVE(TPersistent)

    virtual void Assign(TPersistent* source);

    // The class name this object reports in stored files. A class declared
    // inside another one reports "Outer.Inner" through Q_CLASSINFO("ClassName").
    QString ClassName() const { return ClassNameOf(metaObject()); }
    static QString ClassNameOf(const QMetaObject* mo);

protected:
    // Raises EConvertError "Cannot assign a <source> to a <dest>".
    virtual void AssignTo(TPersistent* dest);
};

// A list of text lines held as a persisted sub-object.
class TStringList : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TStringList(QObject* parent = nullptr) : TPersistent(parent) {}
    QStringList& Lines() { return FLines; }
    const QStringList& Lines() const { return FLines; }
    void Assign(TPersistent* source) override;

private:
    QStringList FLines;
};

class TCollection;

// An item of an ordered collection. Items are created only by their
// collection (Add/Insert), which owns them.
class TCollectionItem : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE TCollectionItem() = default;
    TCollection* Collection() const { return FCollection; }
    int Index() const;
    void SetIndex(int value);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
};

enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// An ordered list of items of one item class (a QMetaObject with a
// Q_INVOKABLE default constructor). Assign clears and rebuilds item by item.
class TCollection : public TPersistent {
    Q_OBJECT
public:
    explicit TCollection(const QMetaObject* itemClass, QObject* parent = nullptr);
    ~TCollection() override;

    const QMetaObject* ItemClass() const { return FItemClass; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    int IndexOf(const TCollectionItem* item) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() { if (FUpdateCount > 0) --FUpdateCount; }
    int UpdateCount() const { return FUpdateCount; }

    void Assign(TPersistent* source) override;

protected:
    // Called after an item was added (cnAdded) and before one is removed.
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);

private:
    const QMetaObject* FItemClass;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FUpdateCount = 0;
};

// Name -> class, for classes that stored files name (configuration classes of
// flexible presets). One registry per program, like the runtime's own.
class TClassRegistry {
public:
    static TClassRegistry& Instance();
    void RegisterClass(const QMetaObject* mo);
    void UnregisterClass(const QMetaObject* mo);
    // Raises EClassNotFound "Class <name> not found".
    const QMetaObject* FindClass(const QString& name) const;
    const QMetaObject* GetClass(const QString& name) const; // nullptr when unknown

private:
    TClassRegistry() = default;
    std::vector<const QMetaObject*> FClasses;
};

// Creates an object of class mo through its Q_INVOKABLE default constructor;
// nullptr when it has none.
QObject* NewInstance(const QMetaObject* mo);

// True when mo is cls or derives from it.
bool InheritsFrom(const QMetaObject* mo, const QMetaObject* cls);
