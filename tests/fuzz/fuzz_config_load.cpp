// vantoli.cfg and uploaders.cfg read into the application model. A read may
// stop at an error, but what it kept must be a sound model: its preset
// names and titles obey the presets' rules, the current preset is a preset
// or none, every site preset has its settings, every uploader preset of a
// known class has settings of that class, and the model saves and reads
// back without an error. One read of an input of up to 1 MB takes no more
// than 64 MB.
#include "fuzzcommon.h"
#include "fuzzconfig.h"

#include "app/uploaders/ftpfileuploader.h"

#include <QSet>

namespace {

using fuzzcommon::Check;

void CheckPresets(const TConfigPresets* presets)
{
    QSet<QString> names, titles;
    for (int i = 0; i < presets->Count(); ++i) {
        const TConfigPreset* p = presets->Presets(i);
        Check(p->Collection() == presets, "a preset belongs to its list");
        if (!presets->AllowItemNameEmpty())
            Check(!p->Name().isEmpty(), "no preset without a name");
        if (!presets->AllowItemTitleEmpty())
            Check(!p->Title().isEmpty(), "no preset without a title");
        if (!presets->AllowItemNameDuplicate())
            Check(!names.contains(p->Name()), "preset names are unique");
        if (!presets->AllowItemTitleDuplicate())
            Check(!titles.contains(p->Title().toCaseFolded()), "preset titles are unique (any case)");
        names.insert(p->Name());
        titles.insert(p->Title().toCaseFolded());
    }
    // The counts behind the uniqueness checks agree with the list.
    for (const QString& n : names)
        Check(presets->HasItemWithName(n, nullptr), "a preset's name is known to the name check");
}

void CheckModel(fuzzconfig::TModel& m)
{
    TMoodleSysConfigPresets* sites = m.App->MoodleSysConfigPresets();
    CheckPresets(sites);
    for (int i = 0; i < sites->Count(); ++i) {
        TMoodleSysConfig* site = sites->SiteConfig(i);
        Check(site != nullptr, "every site preset has its settings");
        Check(site->Bookmarks() != nullptr, "bookmarks are there");
        (void)site->LoginUrl();
        (void)site->ActualFileUploadMethod();
    }
    (void)m.App->CurrMoodleSysConfig();
    (void)m.App->GeneralConfig()->SkinIndex();

    TFileUploaderConfigPresets* uploaders = m.Uploaders->Presets();
    CheckPresets(uploaders);
    for (int i = 0; i < uploaders->Count(); ++i) {
        TFlexConfigPreset* p = uploaders->Presets(i);
        TConfig* config = p->Config();
        if (p->Get_ConfigClass() == TFtpFileUploader::GetConfigClass())
            Check(qobject_cast<TFtpFileUploaderConfig*>(config) != nullptr, "an FTP preset holds FTP settings");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzconfig::RegisterOnce();
    const QByteArray bytes = fuzzcommon::Bytes(data, size);
    fuzzconfig::TModel m;
    // The memory bound is the reader's: what one read takes, kept or not.
    {
        fuzzcommon::TBoundedMemory bounded;
        fuzzconfig::Load(m.App.get(), bytes);
    }
    {
        fuzzcommon::TBoundedMemory bounded;
        fuzzconfig::Load(m.Uploaders.get(), bytes);
    }
    CheckModel(m);

    // What was kept writes and reads back whole.
    fuzzconfig::TModel back;
    Check(fuzzconfig::Load(back.App.get(), fuzzconfig::Save(m.App.get())), "the saved sites read back without an error");
    Check(fuzzconfig::Load(back.Uploaders.get(), fuzzconfig::Save(m.Uploaders.get())),
          "the saved uploader presets read back without an error");
    CheckModel(back);
    Check(back.App->MoodleSysConfigPresets()->Count() == m.App->MoodleSysConfigPresets()->Count(),
          "every site preset comes back");
    Check(back.Uploaders->Presets()->Count() == m.Uploaders->Presets()->Count(), "every uploader preset comes back");
    return 0;
}
