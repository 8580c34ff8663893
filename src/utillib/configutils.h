#pragma once

#include "utillib/persistent.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

// A class reference to TConfig or a descendant.
using TConfigClass = const QMetaObject*;

// Storage calls made by configuration objects swallow their errors: a missing
// or damaged configuration file must never stop the program.
inline constexpr bool SuppressStorageExceptions = true;

// The base of every group of settings; its settings are its published
// properties. Create configuration objects only through CreateConfig/NewConfig,
// which apply the defaults after construction (C++ cannot dispatch the virtual
// SetDefaultValues from a base constructor).
class TConfig : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(bool EnableRttiAssign READ EnableRttiAssign WRITE SetEnableRttiAssign DESIGNABLE false)
    Q_PROPERTY(QStringList ExcludedRttiAssignProperties READ ExcludedRttiAssignProperties
                   WRITE SetExcludedRttiAssignProperties DESIGNABLE false)
public:
    Q_INVOKABLE explicit TConfig(QObject* parent = nullptr);

    bool EnableRttiAssign() const { return FEnableRttiAssign; }
    void SetEnableRttiAssign(bool v) { FEnableRttiAssign = v; }
    QStringList ExcludedRttiAssignProperties() const { return FExcludedRttiAssignProperties; }
    void SetExcludedRttiAssignProperties(const QStringList& v) { FExcludedRttiAssignProperties = v; }

    // Runs SetDefaultValues; the factories call it once after construction.
    void AfterConstruction() { SetDefaultValues(); }
    virtual void SetDefaultValues() {}

    // Through the storage manager with errors suppressed: never raise, never report.
    void SaveToFile(const QString& fileName, const QString& storageType);
    void LoadFromFile(const QString& fileName, const QString& storageType);

protected:
    void AssignTo(TPersistent* dest) override;
    virtual void RttiAssignTo(TPersistent* dest);

private:
    bool FEnableRttiAssign = true;
    QStringList FExcludedRttiAssignProperties;
};

// Creates a configuration of the given class with its defaults applied.
std::unique_ptr<TConfig> CreateConfig(TConfigClass cls);
template <class T> std::unique_ptr<T> NewConfig()
{
    auto p = std::make_unique<T>();
    p->AfterConstruction();
    return p;
}

class TConfigPresets;

// A named, titled entry holding one configuration object.
class TConfigPreset : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString _ConfigClassName READ Get_ConfigClassName WRITE Set_ConfigClassName)
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Description READ Description WRITE SetDescription)
    Q_PROPERTY(QString Author READ Author WRITE SetAuthor)
    Q_PROPERTY(TStringList* ExtraInfos READ ExtraInfos WRITE SetExtraInfos)
    Q_PROPERTY(TConfig* Config READ Config WRITE SetConfig)
public:
    Q_INVOKABLE TConfigPreset();
    ~TConfigPreset() override;

    QString Name() const { return FName; }
    void SetName(const QString& value);
    QString Title() const { return FTitle; }
    void SetTitle(const QString& value);
    QString Description() const { return FDescription; }
    void SetDescription(const QString& v) { FDescription = v; }
    QString Author() const { return FAuthor; }
    void SetAuthor(const QString& v) { FAuthor = v; }
    TStringList* ExtraInfos() const { return FExtraInfos.get(); }
    void SetExtraInfos(TStringList* value);
    // Created on first read from the preset's class; none when no class is known.
    TConfig* Config();
    void SetConfig(TConfig* value);

    TConfigPresets* ParentCollection() const;
    virtual void SetDefaultValues();

    virtual TConfigClass Get_ConfigClass() const { return FConfigClass; }
    virtual void Set_ConfigClass(TConfigClass value);
    virtual QString Get_ConfigClassName() const { return {}; }
    virtual void Set_ConfigClassName(const QString&) {}

protected:
    friend class TConfigPresets;
    void AssignTo(TPersistent* dest) override;
    std::unique_ptr<TConfig> FConfig;
    TConfigClass FConfigClass = nullptr;

private:
    QString FName, FTitle, FDescription, FAuthor;
    std::unique_ptr<TStringList> FExtraInfos;
};

// Validation and naming rules of a presets collection (a set: bit per option).
class TConfigPresetsOptions : public QObject {
    Q_OBJECT
public:
    enum TConfigPresetsOption {
        poAllowItemNameEmpty = 0x01,
        poAllowItemTitleEmpty = 0x02,
        poAllowItemNameDuplicate = 0x04,
        poAllowItemTitleDuplicate = 0x08,
        poAutoCreateItemName = 0x10,
        poAutoCreateItemTitle = 0x20,
    };
    Q_DECLARE_FLAGS(TConfigPresetsOptionSet, TConfigPresetsOption)
    Q_FLAG(TConfigPresetsOptionSet)
};
using TConfigPresetsOption = TConfigPresetsOptions::TConfigPresetsOption;
using TConfigPresetsOptionSet = TConfigPresetsOptions::TConfigPresetsOptionSet;
Q_DECLARE_OPERATORS_FOR_FLAGS(TConfigPresetsOptions::TConfigPresetsOptionSet)

// An ordered list of presets with rules for empty and duplicated names and
// titles, and generated names ("Item_0") and titles ("Untitled 0").
class TConfigPresets : public TCollection {
    Q_OBJECT
    Q_PROPERTY(int CurrPresetIndex READ CurrPresetIndex WRITE SetCurrPresetIndex)
    Q_PROPERTY(TConfigPresetsOptions::TConfigPresetsOptionSet Options READ Options WRITE SetOptions)
    Q_PROPERTY(QString ItemBaseName READ ItemBaseName WRITE SetItemBaseName)
    Q_PROPERTY(QString ItemBaseTitle READ ItemBaseTitle WRITE SetItemBaseTitle)
public:
    explicit TConfigPresets(TConfigClass configClass, const QMetaObject* itemClass = nullptr);

    TConfigPreset* Add() { return static_cast<TConfigPreset*>(TCollection::Add()); }
    TConfigPreset* Presets(int index) const { return static_cast<TConfigPreset*>(Items(index)); }
    TConfigPreset* AddConfig(TConfig* config, const QString& name, const QString& title,
                             const QString& description, const QString& author);

    int IndexOfItemWithName(const QString& name, const TConfigPreset* excludeItem) const;
    int IndexOfItemWithTitle(const QString& title, const TConfigPreset* excludeItem) const;
    bool HasItemWithName(const QString& name, const TConfigPreset* excludeItem) const;
    bool HasItemWithTitle(const QString& title, const TConfigPreset* excludeItem) const;
    TConfigPreset* FindItemWithName(const QString& name) const;
    QStringList PresetNames() const;   // FillPresetNames: positions equal preset indices
    QStringList PresetTitles() const;  // FillPresetTitles

    int CurrPresetIndex() const { return FCurrPresetIndex; }
    void SetCurrPresetIndex(int v) { FCurrPresetIndex = v; }
    TConfigPreset* CurrPreset() const;
    void SetCurrPreset(TConfigPreset* preset);
    TConfigPresetsOptionSet Options() const { return FOptions; }
    void SetOptions(TConfigPresetsOptionSet v) { FOptions = v; }
    QString ItemBaseName() const { return FItemBaseName; }
    void SetItemBaseName(const QString& v) { FItemBaseName = v; }
    QString ItemBaseTitle() const { return FItemBaseTitle; }
    void SetItemBaseTitle(const QString& v) { FItemBaseTitle = v; }
    bool AllowItemNameEmpty() const { return FOptions.testFlag(TConfigPresetsOptions::poAllowItemNameEmpty); }
    bool AllowItemTitleEmpty() const { return FOptions.testFlag(TConfigPresetsOptions::poAllowItemTitleEmpty); }
    bool AllowItemNameDuplicate() const { return FOptions.testFlag(TConfigPresetsOptions::poAllowItemNameDuplicate); }
    bool AllowItemTitleDuplicate() const { return FOptions.testFlag(TConfigPresetsOptions::poAllowItemTitleDuplicate); }
    bool AutoCreateItemName() const { return FOptions.testFlag(TConfigPresetsOptions::poAutoCreateItemName); }
    bool AutoCreateItemTitle() const { return FOptions.testFlag(TConfigPresetsOptions::poAutoCreateItemTitle); }
    TConfigClass ConfigClass() const { return FConfigClass; }

    virtual QString GenerateItemName(const TConfigPreset* excludeItem) const;
    virtual QString GenerateItemTitle(const TConfigPreset* excludeItem) const;
    // Answer true or raise EConfigPresetException.
    virtual bool ValidateItemName(const QString& value, const TConfigPreset* excludeItem) const;
    virtual bool ValidateItemTitle(const QString& value, const TConfigPreset* excludeItem) const;
    virtual void SetDefaultValues();

    void SaveToFile(const QString& fileName, const QString& storageType);
    void LoadFromFile(const QString& fileName, const QString& storageType);

protected:
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
    virtual void InitNewItem(TConfigPreset* preset);

private:
    friend class TConfigPreset;
    // How many presets carry each name and each case-folded title, so that
    // the uniqueness checks stay cheap in long lists (a file of thousands of
    // sites is validated preset by preset while it is read).
    void PresetRenamed(const QString& oldName, const QString& newName);
    void PresetRetitled(const QString& oldTitle, const QString& newTitle);
    static void CountChange(QHash<QString, int>& counts, const QString& oldKey, const QString& newKey);
    int CountOf(const QHash<QString, int>& counts, const QString& key) const { return counts.value(key, 0); }
    QHash<QString, int> FNameCounts;
    QHash<QString, int> FTitleCounts;

    int FCurrPresetIndex = -1;
    TConfigPresetsOptionSet FOptions = TConfigPresetsOptions::poAutoCreateItemName | TConfigPresetsOptions::poAutoCreateItemTitle;
    QString FItemBaseName = QStringLiteral("Item");
    QString FItemBaseTitle = QStringLiteral("Untitled");
    TConfigClass FConfigClass;
};

// A preset that chooses its own configuration class, stored by class name.
class TFlexConfigPreset : public TConfigPreset {
    Q_OBJECT
public:
    Q_INVOKABLE TFlexConfigPreset() = default;
    void Set_ConfigClass(TConfigClass value) override;
    QString Get_ConfigClassName() const override;
    // Looks the class up in TClassRegistry; raises "Class %s not found".
    void Set_ConfigClassName(const QString& value) override;
};

class TFlexConfigPresets : public TConfigPresets {
    Q_OBJECT
public:
    TFlexConfigPresets() : TConfigPresets(nullptr, &TFlexConfigPreset::staticMetaObject) {}
    TFlexConfigPreset* CreateItem(TConfigClass configClass);
    TFlexConfigPreset* Presets(int index) const { return static_cast<TFlexConfigPreset*>(Items(index)); }
};
