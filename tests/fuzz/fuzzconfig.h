#pragma once

// The configuration files as the program reads them: through the storage
// manager, errors suppressed, into fresh objects of the application model.

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "utillib/objstorages.h"

#include <QBuffer>
#include <memory>

namespace fuzzconfig {

inline void RegisterOnce()
{
    static const bool registered = [] {
        TVantoliConfigPersistent::RegisterSaveLoader();
        return true;
    }();
    (void)registered;
}

// True when the whole file was read; false when the read stopped at an error.
inline bool Load(TPersistent* obj, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ObjectStorageManager().LoadFromStream(obj, &buffer, QStringLiteral("xml"), true);
}

// Saving what was read must never fail: errors are not suppressed here.
inline QByteArray Save(TPersistent* obj)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ObjectStorageManager().SaveToStream(obj, &buffer, QStringLiteral("xml"), false);
    return buffer.data();
}

// vantoli.cfg's and uploaders.cfg's objects, with their defaults.
struct TModel {
    std::unique_ptr<TAppConfig> App = NewConfig<TAppConfig>();
    std::unique_ptr<TFileUploaderPresetsConfig> Uploaders = NewConfig<TFileUploaderPresetsConfig>();
};

} // namespace fuzzconfig
