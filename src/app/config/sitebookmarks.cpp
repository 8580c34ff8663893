#include "app/config/sitebookmarks.h"

#include "utillib/globalutils.h"

void TSiteBookmarkItem::ValidateTitle(const QString& title)
{
    if (title.trimmed().isEmpty())
        throw EVantoliException(QStringLiteral("Bookmark title can not be empty"));
}

void TSiteBookmarkItem::ValidateUrl(const QString& url)
{
    if (url.trimmed().isEmpty())
        throw EVantoliException(QStringLiteral("Bookmark URL can not be empty"));
}

void TSiteBookmarkItem::ValidateValues(const QString& title, const QString& url)
{
    ValidateTitle(title);
    ValidateUrl(url);
}

void TSiteBookmarkItem::AssignTo(TPersistent* dest)
{
    if (auto* d = qobject_cast<TSiteBookmarkItem*>(dest)) {
        d->FTitle = FTitle;
        d->FUrl = FUrl;
    }
}

int TSiteBookmarkCollection::IndexOfUrl(const QString& url) const
{
    for (int i = 0; i < Count(); ++i)
        if (BookmarkItems(i)->Url() == url)
            return i;
    return -1;
}

TSiteBookmarkItem* TSiteBookmarkCollection::FindByUrl(const QString& url) const
{
    int i = IndexOfUrl(url);
    return i >= 0 ? BookmarkItems(i) : nullptr;
}

TSiteBookmarkItem* TSiteBookmarkCollection::AddBookmark(const QString& title, const QString& url)
{
    TSiteBookmarkItem* item = FindByUrl(url);
    if (!item) {
        TSiteBookmarkItem::ValidateValues(title, url);
        item = Add();
    }
    item->SetTitle(title);
    item->SetUrl(url);
    return item;
}
