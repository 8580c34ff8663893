#pragma once

#include <QDialog>

class QPushButton;
class TFormPlacement;
class TFrameManageBookmarks;
class TMoodleSysConfig;
class TMoodleSysConfigPresets;
class TXmlPlacementStore;

// "Manage Bookmarks": the bookmark tree of all sites over the live
// collections; closing keeps every change.
class TFormManageBookmarks : public QDialog {
    Q_OBJECT
public:
    // The window's placement is kept in store (the program's placement store
    // when none is given).
    explicit TFormManageBookmarks(QWidget* parent = nullptr, TXmlPlacementStore* store = nullptr);

    // Shows the sites of moodleSysPresets with the site of the current tab
    // (or none) expanded and selected, modally.
    void Execute(TMoodleSysConfigPresets* moodleSysPresets, TMoodleSysConfig* activeMoodleSysConfig);

    TMoodleSysConfigPresets* MoodleSysPresets() const;
    void SetMoodleSysPresets(TMoodleSysConfigPresets* value);
    TMoodleSysConfig* ActiveMoodleSysConfig() const;
    void SetActiveMoodleSysConfig(TMoodleSysConfig* value);

    TFrameManageBookmarks* FrameManageBookmarks() const { return FFrameManageBookmarks; }
    QPushButton* BtnClose() const { return FBtnClose; }

    static inline const QString StorageSection = QStringLiteral("FormManageBookmarks");

private:
    TFrameManageBookmarks* FFrameManageBookmarks;
    QPushButton* FBtnClose;
    TFormPlacement* FJvFormStorage1 = nullptr;
};
