#pragma once

#include <QDialog>

class QPushButton;
class QTableWidget;
class TMoodleSysConfig;

// "Advanced Moodle Site Settings": the site's login path and repository
// upload path as two rows of an item/value list. "&OK" writes both values as
// typed; "&Cancel" writes nothing.
class TFormAdvMoodleSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormAdvMoodleSettings(QWidget* parent = nullptr);

    bool Execute(TMoodleSysConfig* moodleConfig);

    TMoodleSysConfig* MoodleConfig() const { return FMoodleConfig; }
    // Stores the object and shows its two paths.
    void SetMoodleConfig(TMoodleSysConfig* value);

    // The value of the row with this key; setting one creates the row the
    // first time and replaces its value afterwards.
    QString Values(const QString& key) const;
    void SetValues(const QString& key, const QString& value);

    QTableWidget* ValueListEditor() const { return FValueListEditor; }
    QPushButton* BtnOk() const { return FBtnOk; }
    QPushButton* BtnCancel() const { return FBtnCancel; }

    static inline const QString LoginPathKey = QStringLiteral("Login path");
    static inline const QString RepoUploadPathKey = QStringLiteral("Repository upload path");

protected:
    void showEvent(QShowEvent* event) override;

private:
    int RowOf(const QString& key) const;
    void BtnOkClick();
    void ApplySkinColors();

    TMoodleSysConfig* FMoodleConfig = nullptr;
    QTableWidget* FValueListEditor;
    QPushButton* FBtnOk;
    QPushButton* FBtnCancel;
};
