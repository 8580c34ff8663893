#include "utillib/configutils.h"

#include "utillib/objstorages.h"
#include "utillib/objutils.h"

// ---------------------------------------------------------------- TConfig

TConfig::TConfig(QObject* parent) : TPersistent(parent) {}

void TConfig::AssignTo(TPersistent* dest)
{
    if (FEnableRttiAssign)
        RttiAssignTo(dest);
}

void TConfig::RttiAssignTo(TPersistent* dest)
{
    TObjUtil::RttiCopyProperties(this, dest, {TPropVisibility::mvPublished}, true, {});
}

void TConfig::SaveToFile(const QString& fileName, const QString& storageType)
{
    ObjectStorageManager().SaveToFile(this, fileName, storageType, SuppressStorageExceptions);
}

void TConfig::LoadFromFile(const QString& fileName, const QString& storageType)
{
    ObjectStorageManager().LoadFromFile(this, fileName, storageType, SuppressStorageExceptions);
}

std::unique_ptr<TConfig> CreateConfig(TConfigClass cls)
{
    if (!cls || !InheritsFrom(cls, &TConfig::staticMetaObject))
        throw EConfigException(QStringLiteral("%1 is not a configuration class").arg(TPersistent::ClassNameOf(cls)));
    std::unique_ptr<QObject> obj(NewInstance(cls));
    if (!obj)
        throw EConfigException(QStringLiteral("Cannot create %1").arg(TPersistent::ClassNameOf(cls)));
    std::unique_ptr<TConfig> config(static_cast<TConfig*>(obj.release()));
    config->AfterConstruction();
    return config;
}

// ---------------------------------------------------------------- TConfigPreset

TConfigPreset::TConfigPreset() : FExtraInfos(std::make_unique<TStringList>()) {}

TConfigPreset::~TConfigPreset() = default;

TConfigPresets* TConfigPreset::ParentCollection() const
{
    return qobject_cast<TConfigPresets*>(Collection());
}

void TConfigPreset::SetName(const QString& value)
{
    if (value == FName)
        return;
    TConfigPresets* owner = ParentCollection();
    if (owner)
        owner->ValidateItemName(value, this);
    const QString old = FName;
    FName = value;
    if (owner)
        owner->PresetRenamed(old, value);
}

void TConfigPreset::SetTitle(const QString& value)
{
    if (value == FTitle)
        return;
    TConfigPresets* owner = ParentCollection();
    if (owner)
        owner->ValidateItemTitle(value, this);
    const QString old = FTitle;
    FTitle = value;
    if (owner)
        owner->PresetRetitled(old, value);
}

void TConfigPreset::SetExtraInfos(TStringList* value)
{
    if (value && value != FExtraInfos.get())
        FExtraInfos->Lines() = value->Lines();
}

TConfig* TConfigPreset::Config()
{
    if (!FConfig && Get_ConfigClass())
        FConfig = CreateConfig(Get_ConfigClass());
    return FConfig.get();
}

void TConfigPreset::SetConfig(TConfig* value)
{
    if (value == FConfig.get())
        return;
    if (TConfig* own = Config(); own && value)
        own->Assign(value);
}

void TConfigPreset::SetDefaultValues()
{
    if (TConfig* config = Config())
        config->SetDefaultValues();
}

void TConfigPreset::Set_ConfigClass(TConfigClass value)
{
    if (value != FConfigClass)
        FConfigClass = value;
}

void TConfigPreset::AssignTo(TPersistent* dest)
{
    auto* d = qobject_cast<TConfigPreset*>(dest);
    if (!d)
        return;
    d->SetName(FName);
    d->SetTitle(FTitle);
    d->SetDescription(FDescription);
    d->SetExtraInfos(FExtraInfos.get());
    d->SetConfig(Config());
}

// ---------------------------------------------------------------- TConfigPresets

TConfigPresets::TConfigPresets(TConfigClass configClass, const QMetaObject* itemClass)
    : TCollection(itemClass ? itemClass : &TConfigPreset::staticMetaObject), FConfigClass(configClass)
{
}

TConfigPreset* TConfigPresets::AddConfig(TConfig* config, const QString& name, const QString& title,
                                         const QString& description, const QString& author)
{
    TConfigPreset* preset = Add();
    try {
        preset->SetConfig(config);
        if (!name.isEmpty())
            preset->SetName(name);
        if (!title.isEmpty())
            preset->SetTitle(title);
        if (!description.isEmpty())
            preset->SetDescription(description);
        if (!author.isEmpty())
            preset->SetAuthor(author);
    } catch (...) {
        Delete(preset->Index());
        throw;
    }
    return preset;
}

int TConfigPresets::IndexOfItemWithName(const QString& name, const TConfigPreset* excludeItem) const
{
    for (int i = 0; i < Count(); ++i) {
        TConfigPreset* p = Presets(i);
        if (p != excludeItem && p->Name() == name)
            return i;
    }
    return -1;
}

int TConfigPresets::IndexOfItemWithTitle(const QString& title, const TConfigPreset* excludeItem) const
{
    for (int i = 0; i < Count(); ++i) {
        TConfigPreset* p = Presets(i);
        if (p != excludeItem && p->Title().compare(title, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TConfigPresets::HasItemWithName(const QString& name, const TConfigPreset* excludeItem) const
{
    int n = CountOf(FNameCounts, name);
    if (excludeItem && excludeItem->Collection() == this && excludeItem->Name() == name)
        --n;
    return n > 0;
}

bool TConfigPresets::HasItemWithTitle(const QString& title, const TConfigPreset* excludeItem) const
{
    const QString key = title.toCaseFolded();
    int n = CountOf(FTitleCounts, key);
    if (excludeItem && excludeItem->Collection() == this && excludeItem->Title().toCaseFolded() == key)
        --n;
    return n > 0;
}

void TConfigPresets::CountChange(QHash<QString, int>& counts, const QString& oldKey, const QString& newKey)
{
    auto it = counts.find(oldKey);
    if (it != counts.end() && --it.value() <= 0)
        counts.erase(it);
    ++counts[newKey];
}

void TConfigPresets::PresetRenamed(const QString& oldName, const QString& newName)
{
    CountChange(FNameCounts, oldName, newName);
}

void TConfigPresets::PresetRetitled(const QString& oldTitle, const QString& newTitle)
{
    CountChange(FTitleCounts, oldTitle.toCaseFolded(), newTitle.toCaseFolded());
}

TConfigPreset* TConfigPresets::FindItemWithName(const QString& name) const
{
    int i = IndexOfItemWithName(name, nullptr);
    return i >= 0 ? Presets(i) : nullptr;
}

QStringList TConfigPresets::PresetNames() const
{
    QStringList names;
    for (int i = 0; i < Count(); ++i)
        names << Presets(i)->Name();
    return names;
}

QStringList TConfigPresets::PresetTitles() const
{
    QStringList titles;
    for (int i = 0; i < Count(); ++i)
        titles << Presets(i)->Title();
    return titles;
}

TConfigPreset* TConfigPresets::CurrPreset() const
{
    if (FCurrPresetIndex >= 0 && FCurrPresetIndex < Count())
        return Presets(FCurrPresetIndex);
    return nullptr;
}

void TConfigPresets::SetCurrPreset(TConfigPreset* preset)
{
    if (!preset)
        FCurrPresetIndex = -1;
    else if (preset->Collection() == this)
        FCurrPresetIndex = preset->Index();
}

QString TConfigPresets::GenerateItemName(const TConfigPreset* excludeItem) const
{
    int n = excludeItem ? excludeItem->Index() : Count();
    for (;;) {
        QString candidate = FItemBaseName + QLatin1Char('_') + QString::number(n);
        if (AllowItemNameDuplicate() || !HasItemWithName(candidate, excludeItem))
            return candidate;
        ++n;
    }
}

QString TConfigPresets::GenerateItemTitle(const TConfigPreset* excludeItem) const
{
    int n = excludeItem ? excludeItem->Index() : Count();
    for (;;) {
        QString candidate = FItemBaseTitle + QLatin1Char(' ') + QString::number(n);
        if (AllowItemTitleDuplicate() || !HasItemWithTitle(candidate, excludeItem))
            return candidate;
        ++n;
    }
}

bool TConfigPresets::ValidateItemName(const QString& value, const TConfigPreset* excludeItem) const
{
    if (value.isEmpty() && !AllowItemNameEmpty())
        throw EConfigPresetException(QStringLiteral("Preset name is empty"));
    if (!AllowItemNameDuplicate() && HasItemWithName(value, excludeItem))
        throw EConfigPresetException(QStringLiteral("Duplicated preset name"));
    return true;
}

bool TConfigPresets::ValidateItemTitle(const QString& value, const TConfigPreset* excludeItem) const
{
    if (value.isEmpty() && !AllowItemTitleEmpty())
        throw EConfigPresetException(QStringLiteral("Preset title is empty"));
    if (!AllowItemTitleDuplicate() && HasItemWithTitle(value, excludeItem))
        throw EConfigPresetException(QStringLiteral("Duplicated preset title"));
    return true;
}

void TConfigPresets::SetDefaultValues()
{
    for (int i = 0; i < Count(); ++i)
        Presets(i)->SetDefaultValues();
}

void TConfigPresets::SaveToFile(const QString& fileName, const QString& storageType)
{
    ObjectStorageManager().SaveToFile(this, fileName, storageType, SuppressStorageExceptions);
}

void TConfigPresets::LoadFromFile(const QString& fileName, const QString& storageType)
{
    ObjectStorageManager().LoadFromFile(this, fileName, storageType, SuppressStorageExceptions);
}

void TConfigPresets::Notify(TCollectionItem* item, TCollectionNotification action)
{
    TCollection::Notify(item, action);
    auto* preset = static_cast<TConfigPreset*>(item);
    if (action == TCollectionNotification::cnAdded) {
        ++FNameCounts[preset->Name()];
        ++FTitleCounts[preset->Title().toCaseFolded()];
        InitNewItem(preset);
    } else {
        auto drop = [](QHash<QString, int>& counts, const QString& key) {
            auto it = counts.find(key);
            if (it != counts.end() && --it.value() <= 0)
                counts.erase(it);
        };
        drop(FNameCounts, preset->Name());
        drop(FTitleCounts, preset->Title().toCaseFolded());
    }
}

void TConfigPresets::InitNewItem(TConfigPreset* preset)
{
    preset->FConfigClass = FConfigClass;
    if (AutoCreateItemName() && preset->Name().isEmpty())
        preset->SetName(GenerateItemName(preset));
    if (AutoCreateItemTitle() && preset->Title().isEmpty())
        preset->SetTitle(GenerateItemTitle(preset));
}

// ---------------------------------------------------------------- flexible presets

void TFlexConfigPreset::Set_ConfigClass(TConfigClass value)
{
    if (value == FConfigClass)
        return;
    FConfig.reset();
    FConfigClass = value;
}

QString TFlexConfigPreset::Get_ConfigClassName() const
{
    return FConfigClass ? TPersistent::ClassNameOf(FConfigClass) : QString();
}

void TFlexConfigPreset::Set_ConfigClassName(const QString& value)
{
    if (value.isEmpty()) {
        Set_ConfigClass(nullptr);
        return;
    }
    const QMetaObject* cls = TClassRegistry::Instance().FindClass(value);
    // The class is switched without freeing a held object of another class:
    // the next read of Config then still yields the old object, as before.
    FConfigClass = cls;
}

TFlexConfigPreset* TFlexConfigPresets::CreateItem(TConfigClass configClass)
{
    auto* preset = static_cast<TFlexConfigPreset*>(Add());
    preset->Set_ConfigClass(configClass);
    return preset;
}
