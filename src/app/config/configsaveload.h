#pragma once

#include <QString>

// Where the program keeps its configuration files and when it reads and
// writes them. The user's file always wins over the distribution's default
// file; the two are never merged, and the default folder is never written.
class TVantoliConfigPersistent {
public:
    // Registers the "xml" storage (the default format). Call once at start.
    static void RegisterSaveLoader();
    // "vantoli.cfg" into AppConfig, "uploaders.cfg" into FileUploaderPresetsConfig.
    static void LoadConfigs();
    // Creates the user folder (private to the user) and writes each file whose
    // content changed; a file that would come out the same is left alone.
    static void SaveConfigs();

    // The user folder: AppDataPath + "/Vantoli/".
    static QString UserConfigPath();
    // The read-only default folder: the executable's folder + "/_default_config/".
    static QString DefaultConfigPath();
    // The user's window-placement file.
    static QString FormsConfigFile() { return UserConfigPath() + QStringLiteral("forms.cfg"); }

    static inline const QString MainConfigFileName = QStringLiteral("vantoli.cfg");
    static inline const QString UploadersConfigFileName = QStringLiteral("uploaders.cfg");
};
