#pragma once

#include <QDialog>

class QPushButton;
class QTabWidget;
class TFormPlacement;
class TFrameEditFileUploaderPresets;
class TFrameEditMoodleSysPresets;
class TFrameGeneralSettings;
class TXmlPlacementStore;

// "Settings": the General, Moodle and File Uploaders pages over the live
// configuration. Every change is stored the moment it is made; "&Close" only
// closes. Each showing and each page switch binds the page to the live
// objects again, so one page sees what another changed.
class TFormConfigSetting : public QDialog {
    Q_OBJECT
public:
    // The window's placement and the two list heights are kept in store
    // (the program's placement store when none is given).
    explicit TFormConfigSetting(QWidget* parent = nullptr, TXmlPlacementStore* store = nullptr);
    ~TFormConfigSetting() override;

    enum TPage { cpGeneral = 0, cpMoodle = 1, cpFileUploaders = 2 };
    // A page index of 0 or more makes that page active; a negative one keeps
    // the page last shown. Shows the dialog modally.
    void Execute(int pageIndex);

    QTabWidget* PageControlMain() const { return FPageControlMain; }
    TFrameGeneralSettings* FrameGeneralSettings() const { return FFrameGeneralSettings; }
    TFrameEditMoodleSysPresets* FrameEditMoodleSysPresets() const { return FFrameEditMoodleSysPresets; }
    TFrameEditFileUploaderPresets* FrameEditFileUploaderPresets() const { return FFrameEditFileUploaderPresets; }
    QPushButton* BtnOk() const { return FBtnOk; }

    void BindGeneralPage();
    void BindMoodleSitesPage();
    void BindUploadersPage();

    static inline const QString StorageSection = QStringLiteral("FormConfigSetting");
    static inline const QString MoodlePresetsHeightKey = QStringLiteral("FrameEditMoodleSysPresets.GroupBoxPresets.Height");
    static inline const QString UploaderPresetsHeightKey = QStringLiteral("FrameEditFileUploaderPresets.GroupBoxPresets.Height");

public Q_SLOTS:
    // Closing first lets the focused control write its value; a value that
    // is refused keeps the dialog open with that control focused.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PageControlMainChange(int index);
    void RestoreExtraValues();
    void StoreExtraValues();

    TXmlPlacementStore* FStore;
    QTabWidget* FPageControlMain;
    TFrameGeneralSettings* FFrameGeneralSettings;
    TFrameEditMoodleSysPresets* FFrameEditMoodleSysPresets;
    TFrameEditFileUploaderPresets* FFrameEditFileUploaderPresets;
    QPushButton* FBtnOk;
    TFormPlacement* FJvFormStorage1 = nullptr;
    bool FExtraValuesRestored = false;
};

// What the main window's settings actions run: the dialog on the given page,
// then the configuration files saved.
void ExecuteConfigSetting(TFormConfigSetting& form, int pageIndex);
