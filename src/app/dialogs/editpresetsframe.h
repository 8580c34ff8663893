#pragma once

#include <QFrame>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class TConfigPreset;
class TConfigPresets;

// Edits any collection of presets: the list (title over description), "&New"
// and "&Remove", and the selected preset's title and description. There is no
// apply step: a value is written into the live preset when its control loses
// the focus, through the preset's own setters, so the collection's title rules
// reject what they must; the rejected control then keeps the focus and Esc
// puts the stored value back. Descendants add their controls to the details
// group box and override the virtual operations below.
class TFrameEditPresets : public QFrame {
    Q_OBJECT
public:
    explicit TFrameEditPresets(QWidget* parent = nullptr);
    ~TFrameEditPresets() override;

    TConfigPresets* ConfigPresets() const { return FConfigPresets; }
    // Rebuilds the list only when a different collection is given.
    void SetConfigPresets(TConfigPresets* value);
    TConfigPreset* CurrPreset() const { return FCurrPreset; }
    void SetCurrPreset(TConfigPreset* value);
    QListWidgetItem* CurrPresetListItem() const;
    QString PresetsLabelCaption() const;
    void SetPresetsLabelCaption(const QString& value);
    // Rebuilds the list from ConfigPresets, keeping or clamping the selection.
    void UpdateConfig() { RebuildPresetList(); }

    // The height of the list's group box, as the splitter sets it.
    int PresetsHeight() const;
    void SetPresetsHeight(int value);

    QGroupBox* GroupBoxPresets() const { return FGroupBoxPresets; }
    QListWidget* ListBoxPresets() const { return FListBoxPresets; }
    QPushButton* BtnAddPreset() const { return FBtnAddPreset; }
    QPushButton* BtnRemovePreset() const { return FBtnRemovePreset; }
    QWidget* Splitter() const { return FSplitter; }
    QGroupBox* GroupboxDetails() const { return FGroupboxDetails; }
    QLineEdit* EditPresetTitle() const { return FEditPresetTitle; }
    QPlainTextEdit* MemoPresetDescription() const { return FMemoPresetDescription; }

    static inline const QString UntitledText = QStringLiteral("Untitled");
    static inline const QString NoDescriptionText = QStringLiteral("No description");
    // Where a list item keeps its description line and its preset.
    static constexpr int CaptionRole = Qt::UserRole + 1;
    static constexpr int PresetRole = Qt::UserRole + 2;

protected:
    // Descendants build their controls first and then call InitFrame
    // themselves, because C++ does not dispatch to their overrides from here.
    struct TDeferInit {};
    TFrameEditPresets(QWidget* parent, TDeferInit);

    virtual QString GetPresetItemTitle(TConfigPreset* preset);
    virtual QString GetPresetItemDescription(TConfigPreset* preset);
    virtual void ShowPresetDetails(TConfigPreset* preset);
    // None cancels the "&New".
    virtual TConfigPreset* CreateNewPreset();
    virtual bool DeleteCurrPreset();
    virtual bool CanDeletePreset(TConfigPreset* preset);
    virtual void UpdateControlStates();
    // Runs once when the frame is complete; descendants call the base first.
    virtual void InitFrame();
    // Runs once at the start of destruction (called by the most derived destructor).
    virtual void DoneFrame() {}

    void AssignDetailValue(QWidget* ctrl, const QVariant& value, const QString& destPropName, QObject* destObj);
    void AssignDetailValue(QWidget* ctrl, const QString& ctrlProp, const QString& destPropName, QObject* destObj);

    // The details grid: column 0 labels, column 1 controls; descendants append rows.
    QGridLayout* DetailsLayout() const { return FDetailsLayout; }
    // Runs handler when ctrl loses the focus to another control of the program
    // (not when a window or a popup merely takes it for a while). An error the
    // handler raises is shown in the error box.
    void SetExitHandler(QWidget* ctrl, std::function<void()> handler);
    // A mouse press on w is dropped when giving w the focus failed because a
    // control refused to let it go (a rejected value), so that the click
    // does not act on a state the user has not left yet.
    void GuardPress(QWidget* w);

    bool eventFilter(QObject* watched, QEvent* event) override;

    void RebuildPresetList();
    void FillPresetListItem(TConfigPreset* preset, QListWidgetItem* item);
    void RefreshCurrPresetListItem();
    void AddNewPreset();
    void RemoveCurrPreset();
    void RevertPresetDetails();

private:
    void BuildFrame();
    void BtnAddPresetClick();
    void BtnRemovePresetClick();
    void ListBoxPresetsClick();
    void EditPresetTitleExit();
    void MemoPresetDescriptionExit();
    void SelectRow(int row);
    static TConfigPreset* PresetOf(const QListWidgetItem* item);

    TConfigPresets* FConfigPresets = nullptr;
    TConfigPreset* FCurrPreset = nullptr;
    int FSelecting = 0;

    QGroupBox* FGroupBoxPresets = nullptr;
    QListWidget* FListBoxPresets = nullptr;
    QPushButton* FBtnAddPreset = nullptr;
    QPushButton* FBtnRemovePreset = nullptr;
    QWidget* FSplitter = nullptr;
    QGroupBox* FGroupboxDetails = nullptr;
    QGridLayout* FDetailsLayout = nullptr;
    QLineEdit* FEditPresetTitle = nullptr;
    QPlainTextEdit* FMemoPresetDescription = nullptr;

    std::map<QObject*, std::function<void()>> FExitHandlers;
    std::map<QObject*, QWidget*> FGuardedPresses; // pressed object -> widget that must get the focus
    QList<QObject*> FEscControls;
};
