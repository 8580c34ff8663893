#pragma once

#include "utillib/persistent.h"

// One bookmark of a site: a title and an address, unvalidated on assignment.
class TSiteBookmarkItem : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Url READ Url WRITE SetUrl)
public:
    Q_INVOKABLE TSiteBookmarkItem() = default;
    QString Title() const { return FTitle; }
    void SetTitle(const QString& v) { FTitle = v; }
    QString Url() const { return FUrl; }
    void SetUrl(const QString& v) { FUrl = v; }

    // Raise EVantoliException "Bookmark title can not be empty" / "Bookmark URL can not be empty".
    static void ValidateTitle(const QString& title);
    static void ValidateUrl(const QString& url);
    static void ValidateValues(const QString& title, const QString& url);

protected:
    void AssignTo(TPersistent* dest) override;

private:
    QString FTitle, FUrl;
};

class TSiteBookmarkCollection : public TCollection {
    Q_OBJECT
public:
    Q_INVOKABLE TSiteBookmarkCollection() : TCollection(&TSiteBookmarkItem::staticMetaObject) {}
    TSiteBookmarkItem* Add() { return static_cast<TSiteBookmarkItem*>(TCollection::Add()); }
    TSiteBookmarkItem* BookmarkItems(int index) const { return static_cast<TSiteBookmarkItem*>(Items(index)); }
    int IndexOfUrl(const QString& url) const;
    TSiteBookmarkItem* FindByUrl(const QString& url) const;
    // Renames the bookmark of an address already bookmarked (unvalidated);
    // otherwise validates and appends.
    TSiteBookmarkItem* AddBookmark(const QString& title, const QString& url);
};
