#pragma once

#include "app/config/sitebookmarks.h"
#include "utillib/configutils.h"

#include <QList>
#include <memory>

class TGeneralConfig : public TConfig {
    Q_OBJECT
public:
    enum TAutoOpenWordOccasion { owEmptyContent, owTextOnlyContent, owAll, owNever };
    Q_ENUM(TAutoOpenWordOccasion)
private:
    Q_PROPERTY(int SkinIndex READ SkinIndex WRITE SetSkinIndex)
    Q_PROPERTY(bool EnableWindowAnimation READ EnableWindowAnimation WRITE SetEnableWindowAnimation)
    Q_PROPERTY(bool EnableControlEffects READ EnableControlEffects WRITE SetEnableControlEffects)
    Q_PROPERTY(TAutoOpenWordOccasion AutoOpenWordEditorOn READ AutoOpenWordEditorOn WRITE SetAutoOpenWordEditorOn)
public:
    Q_INVOKABLE explicit TGeneralConfig(QObject* parent = nullptr) : TConfig(parent) {}
    void SetDefaultValues() override;

    int SkinIndex() const { return FSkinIndex; }
    void SetSkinIndex(int v) { FSkinIndex = v; }
    bool EnableWindowAnimation() const { return FEnableWindowAnimation; }
    void SetEnableWindowAnimation(bool v) { FEnableWindowAnimation = v; }
    bool EnableControlEffects() const { return FEnableControlEffects; }
    void SetEnableControlEffects(bool v) { FEnableControlEffects = v; }
    TAutoOpenWordOccasion AutoOpenWordEditorOn() const { return FAutoOpenWordEditorOn; }
    void SetAutoOpenWordEditorOn(TAutoOpenWordOccasion v) { FAutoOpenWordEditorOn = v; }

    // The texts the settings page shows for the occasions, in their order.
    static QStringList AutoOpenWordOccasionTexts();

private:
    int FSkinIndex = 0;
    TAutoOpenWordOccasion FAutoOpenWordEditorOn = owEmptyContent;
    bool FEnableWindowAnimation = false;
    bool FEnableControlEffects = false;
};

class TMoodleSysConfig : public TConfig {
    Q_OBJECT
public:
    enum TMoodleFileUploadMethod { umMoodle, umCustom };
    Q_ENUM(TMoodleFileUploadMethod)
private:
    Q_PROPERTY(QString RootUrl READ RootUrl WRITE SetRootUrl)
    Q_PROPERTY(QString LoginPath READ LoginPath WRITE SetLoginPath)
    Q_PROPERTY(QString RepoUploadPath READ RepoUploadPath WRITE SetRepoUploadPath)
    Q_PROPERTY(QString AccountName READ AccountName WRITE SetAccountName)
    Q_PROPERTY(QString AccountPassword READ AccountPassword WRITE SetAccountPassword)
    Q_PROPERTY(bool AutoLogin READ AutoLogin WRITE SetAutoLogin)
    Q_PROPERTY(TMoodleFileUploadMethod FileUploadMethod READ FileUploadMethod WRITE SetFileUploadMethod)
    Q_PROPERTY(QString CustomFileUploaderConfigName READ CustomFileUploaderConfigName WRITE SetCustomFileUploaderConfigName)
    Q_PROPERTY(TSiteBookmarkCollection* Bookmarks READ Bookmarks WRITE SetBookmarks)
    Q_PROPERTY(QString LoginUrl READ LoginUrl DESIGNABLE false)
    Q_PROPERTY(QString RepoUploadUrl READ RepoUploadUrl DESIGNABLE false)
    Q_PROPERTY(TMoodleFileUploadMethod ActualFileUploadMethod READ ActualFileUploadMethod DESIGNABLE false)
public:
    Q_INVOKABLE explicit TMoodleSysConfig(QObject* parent = nullptr);
    ~TMoodleSysConfig() override;
    void SetDefaultValues() override;

    QString RootUrl() const { return FRootUrl; }
    void SetRootUrl(const QString& v) { FRootUrl = v; }
    QString LoginPath() const { return FLoginPath; }
    void SetLoginPath(const QString& v) { FLoginPath = v; }
    QString RepoUploadPath() const { return FRepoUploadPath; }
    void SetRepoUploadPath(const QString& v) { FRepoUploadPath = v; }
    QString AccountName() const { return FAccountName; }
    void SetAccountName(const QString& v) { FAccountName = v; }
    QString AccountPassword() const { return FAccountPassword; }
    void SetAccountPassword(const QString& v) { FAccountPassword = v; }
    bool AutoLogin() const { return FAutoLogin; }
    void SetAutoLogin(bool v) { FAutoLogin = v; }
    TMoodleFileUploadMethod FileUploadMethod() const { return FFileUploadMethod; }
    void SetFileUploadMethod(TMoodleFileUploadMethod v) { FFileUploadMethod = v; }
    QString CustomFileUploaderConfigName() const { return FCustomFileUploaderConfigName; }
    void SetCustomFileUploaderConfigName(const QString& v) { FCustomFileUploaderConfigName = v; }
    // Created on first read.
    TSiteBookmarkCollection* Bookmarks();
    void SetBookmarks(TSiteBookmarkCollection* value);

    QString LoginUrl() const { return FRootUrl + FLoginPath; }
    QString RepoUploadUrl() const { return FRootUrl + FRepoUploadPath; }
    TMoodleFileUploadMethod ActualFileUploadMethod() const;

private:
    QString FRootUrl, FLoginPath, FAccountPassword, FAccountName;
    bool FAutoLogin = false;
    TMoodleFileUploadMethod FFileUploadMethod = umMoodle;
    QString FCustomFileUploaderName; // kept for the layout of the settings; never used
    QString FCustomFileUploaderConfigName;
    QString FRepoUploadPath;
    std::unique_ptr<TSiteBookmarkCollection> FBookmarks;
};

class TMoodleSysConfigPresets : public TConfigPresets {
    Q_OBJECT
public:
    Q_INVOKABLE TMoodleSysConfigPresets() : TConfigPresets(&TMoodleSysConfig::staticMetaObject) {}
    TMoodleSysConfig* SiteConfig(int index) const;
    // Sites whose stored method is umCustom with exactly this uploader preset name.
    QList<TConfigPreset*> GetPresetsOfCustomFileUploaderWithConfigName(const QString& name) const;
};

class TAppConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(TGeneralConfig* GeneralConfig READ GeneralConfig WRITE SetGeneralConfig)
    Q_PROPERTY(TMoodleSysConfigPresets* MoodleSysConfigPresets READ MoodleSysConfigPresets WRITE SetMoodleSysConfigPresets)
public:
    Q_INVOKABLE explicit TAppConfig(QObject* parent = nullptr);
    ~TAppConfig() override;

    TGeneralConfig* GeneralConfig() const { return FGeneralConfig.get(); }
    void SetGeneralConfig(TGeneralConfig* value);
    TMoodleSysConfigPresets* MoodleSysConfigPresets() const { return FMoodleSysConfigPresets.get(); }
    void SetMoodleSysConfigPresets(TMoodleSysConfigPresets* value);
    // The current site preset's configuration, or none.
    TMoodleSysConfig* CurrMoodleSysConfig() const;

private:
    std::unique_ptr<TMoodleSysConfigPresets> FMoodleSysConfigPresets;
    std::unique_ptr<TGeneralConfig> FGeneralConfig;
};

// The program's one TAppConfig, created with its defaults on first call and
// alive until the program ends.
TAppConfig* AppConfig();
