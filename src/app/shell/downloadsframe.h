#pragma once

#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

// One download in the list: its name, its size and progress, and what the
// user can do with it (cancel it while it runs; open it or show its folder
// once it is there).
class TDownloadItemFrame : public QWidget {
    Q_OBJECT
public:
    enum TState { dsRunning, dsDone, dsCancelled, dsFailed };

    // request: the engine's, not owned (the profile keeps it); none when the
    // download was refused before it started, with failure saying why.
    TDownloadItemFrame(QWebEngineDownloadRequest* request, const QString& filePath, const QString& failure, QWidget* parent);

    QString FilePath() const { return FFilePath; }
    TState State() const { return FState; }
    // What the list shows under the name (size, progress or the failure).
    QString StateText() const;
    QLabel* LabelName() const { return FLabelName; }
    QProgressBar* Progress() const { return FProgress; }
    QPushButton* BtnCancel() const { return FBtnCancel; }
    QPushButton* BtnOpen() const { return FBtnOpen; }
    QPushButton* BtnShowInFolder() const { return FBtnShowInFolder; }

    static QString SizeText(qint64 bytes);

Q_SIGNALS:
    void StateChanged(TDownloadItemFrame* item);

private:
    void Update();

    QPointer<QWebEngineDownloadRequest> FRequest;
    QString FFilePath, FFailure;
    TState FState = dsRunning;
    QLabel *FLabelName, *FLabelState;
    QProgressBar* FProgress;
    QPushButton *FBtnCancel, *FBtnOpen, *FBtnShowInFolder;
};

// The downloads of every tab: each request of the profile's pages is saved
// in the user's download folder under a name that overwrites no file, and
// shown in this list, which appears with the first download.
class TFrameDownloads : public QWidget {
    Q_OBJECT
public:
    // profile: the engine profile the tabs share, not owned.
    TFrameDownloads(QWebEngineProfile* profile, QWidget* parent);

    // The folder downloads go to: the user's download folder (XDG) unless
    // one was set.
    QString DownloadFolder() const;
    void SetDownloadFolder(const QString& folder) { FFolder = folder; }

    int Count() const;
    TDownloadItemFrame* Items(int index) const;

    // A file name of the site's suggestion that stays inside the folder: no
    // path, no leading dots, never empty.
    static QString SafeFileName(const QString& suggested);
    // The first of "name.ext", "name (1).ext", ... that neither exists in
    // folder nor is in taken.
    static QString UniqueFileName(const QString& folder, const QString& name, const QSet<QString>& taken);

Q_SIGNALS:
    void ItemAdded(TDownloadItemFrame* item);

private:
    void DownloadRequested(QWebEngineDownloadRequest* request);
    void AddItem(TDownloadItemFrame* item);

    QString FFolder;
    QVBoxLayout* FItemsLayout;
    QWidget* FItems;
};
