#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

enum class TBookmarkModifyMode { bmAdd, bmEdit };

// Shows or edits one bookmark: in add mode the page's address is taken as it
// is and cannot be changed; in edit mode both fields can. "&Done" closes only
// with a title and an address that are not blank; "&Cancel" always closes.
class TFormEditBookmark : public QDialog {
    Q_OBJECT
public:
    explicit TFormEditBookmark(QWidget* parent = nullptr);

    // Sets site title, bookmark title, address and mode, in this order, shows
    // the dialog modally and answers whether it closed with "&Done". The
    // caller then reads BookmarkTitle and BookmarkUrl.
    bool Execute(const QString& siteTitle, const QString& bookmarkTitle, const QString& bookmarkUrl,
                 TBookmarkModifyMode modifyMode);

    TBookmarkModifyMode ModifyMode() const { return FModifyMode; }
    void SetModifyMode(TBookmarkModifyMode value);
    QString SiteTitle() const;
    void SetSiteTitle(const QString& value);
    QString BookmarkTitle() const;
    void SetBookmarkTitle(const QString& value);
    QString BookmarkUrl() const;
    void SetBookmarkUrl(const QString& value);

    QLabel* LabelSite() const { return FLabelSite; }
    QLineEdit* EditTitle() const { return FEditTitle; }
    QLineEdit* EditUrl() const { return FEditUrl; }
    QPushButton* BtnDone() const { return FBtnDone; }
    QPushButton* BtnCancel() const { return FBtnCancel; }

public Q_SLOTS:
    void done(int result) override;

private:
    void ApplyModifyMode();
    // The close check of "&Done": false (with the focus in the offending edit
    // and the message shown) when a value is blank.
    bool FormCloseQuery();

    TBookmarkModifyMode FModifyMode = TBookmarkModifyMode::bmAdd;
    QLabel* FLabelSite;
    QLineEdit* FEditTitle;
    QLineEdit* FEditUrl;
    QPushButton* FBtnDone;
    QPushButton* FBtnCancel;
};
