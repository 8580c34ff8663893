#include "app/dialogs/editbookmarkform.h"

#include "app/config/sitebookmarks.h"
#include "app/dialogs/appmessages.h"
#include "app/dialogs/controlutil.h"
#include "utillib/exceptions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormEditBookmark::TFormEditBookmark(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormEditBookmark"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* labelSiteCaption = new QLabel(QStringLiteral("Site:"), this);
    FLabelSite = new QLabel(this);
    FLabelSite->setObjectName(QStringLiteral("LabelSite"));
    FLabelSite->setFixedWidth(380);
    FLabelSite->setTextFormat(Qt::PlainText);
    FEditTitle = new QLineEdit(this);
    FEditTitle->setObjectName(QStringLiteral("EditTitle"));
    FEditUrl = new QLineEdit(this);
    FEditUrl->setObjectName(QStringLiteral("EditUrl"));
    auto* labelTitle = new QLabel(QStringLiteral("&Title:"), this);
    labelTitle->setBuddy(FEditTitle);
    auto* labelUrl = new QLabel(QStringLiteral("&URL:"), this);
    labelUrl->setBuddy(FEditUrl);
    grid->addWidget(labelSiteCaption, 0, 0);
    grid->addWidget(FLabelSite, 0, 1);
    grid->addWidget(labelTitle, 1, 0);
    grid->addWidget(FEditTitle, 1, 1);
    grid->addWidget(labelUrl, 2, 0);
    grid->addWidget(FEditUrl, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    layout->addLayout(TControlUtil::NewCloseButtonRow(this, QStringLiteral("&Done"), QStringLiteral("BtnDone"),
                                                      FBtnDone, FBtnCancel));
    QWidget::setTabOrder(FEditTitle, FEditUrl);
    QWidget::setTabOrder(FEditUrl, FBtnDone);
    QWidget::setTabOrder(FBtnDone, FBtnCancel);

    connect(FBtnDone, &QPushButton::clicked, this, &QDialog::accept);
    connect(FBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyModifyMode();
}

bool TFormEditBookmark::Execute(const QString& siteTitle, const QString& bookmarkTitle, const QString& bookmarkUrl,
                                TBookmarkModifyMode modifyMode)
{
    SetSiteTitle(siteTitle);
    SetBookmarkTitle(bookmarkTitle);
    SetBookmarkUrl(bookmarkUrl);
    SetModifyMode(modifyMode);
    FEditTitle->setFocus();
    FEditTitle->selectAll();
    return exec() == QDialog::Accepted;
}

void TFormEditBookmark::SetModifyMode(TBookmarkModifyMode value)
{
    if (FModifyMode == value)
        return;
    FModifyMode = value;
    ApplyModifyMode();
}

void TFormEditBookmark::ApplyModifyMode()
{
    const bool add = FModifyMode == TBookmarkModifyMode::bmAdd;
    setWindowTitle(add ? QStringLiteral("Add Bookmark") : QStringLiteral("Edit Bookmark"));
    FEditUrl->setEnabled(!add);
}

QString TFormEditBookmark::SiteTitle() const
{
    return FLabelSite->text();
}

void TFormEditBookmark::SetSiteTitle(const QString& value)
{
    FLabelSite->setText(value);
}

QString TFormEditBookmark::BookmarkTitle() const
{
    return FEditTitle->text();
}

void TFormEditBookmark::SetBookmarkTitle(const QString& value)
{
    FEditTitle->setText(value);
}

QString TFormEditBookmark::BookmarkUrl() const
{
    return FEditUrl->text();
}

void TFormEditBookmark::SetBookmarkUrl(const QString& value)
{
    FEditUrl->setText(value);
    FEditUrl->setCursorPosition(0);
}

bool TFormEditBookmark::FormCloseQuery()
{
    QLineEdit* offending = FEditTitle;
    try {
        TSiteBookmarkItem::ValidateTitle(BookmarkTitle());
        offending = FEditUrl;
        TSiteBookmarkItem::ValidateUrl(BookmarkUrl());
    } catch (const Exception& e) {
        offending->setFocus(Qt::OtherFocusReason);
        TAppMessages::PostException(this, e.Message());
        return false;
    }
    return true;
}

void TFormEditBookmark::done(int result)
{
    // Cancelling needs no valid values: the caller ignores them then.
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}
