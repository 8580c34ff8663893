#include "app/shell/downloadsframe.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

TDownloadItemFrame::TDownloadItemFrame(QWebEngineDownloadRequest* request, const QString& filePath, const QString& failure,
                                       QWidget* parent)
    : QWidget(parent), FRequest(request), FFilePath(filePath), FFailure(failure)
{
    setObjectName(QStringLiteral("DownloadItem"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    FLabelName = new QLabel(QFileInfo(filePath).fileName(), this);
    FLabelName->setObjectName(QStringLiteral("LabelName"));
    FLabelName->setToolTip(filePath);
    QFont bold = FLabelName->font();
    bold.setBold(true);
    FLabelName->setFont(bold);
    text->addWidget(FLabelName);
    FLabelState = new QLabel(this);
    FLabelState->setObjectName(QStringLiteral("LabelState"));
    text->addWidget(FLabelState);
    layout->addLayout(text, 1);
    FProgress = new QProgressBar(this);
    FProgress->setObjectName(QStringLiteral("Progress"));
    FProgress->setFixedWidth(160);
    FProgress->setAccessibleName(QStringLiteral("Download progress"));
    layout->addWidget(FProgress);
    auto button = [&](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        layout->addWidget(b);
        return b;
    };
    FBtnCancel = button(QStringLiteral("Cancel"), "BtnCancel");
    FBtnOpen = button(QStringLiteral("Open"), "BtnOpen");
    FBtnShowInFolder = button(QStringLiteral("Show in Folder"), "BtnShowInFolder");

    connect(FBtnCancel, &QPushButton::clicked, this, [this] {
        if (FRequest && FState == dsRunning)
            FRequest->cancel();
    });
    connect(FBtnOpen, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(FFilePath)); });
    connect(FBtnShowInFolder, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(FFilePath).absolutePath())); });
    if (FRequest) {
        connect(FRequest, &QWebEngineDownloadRequest::stateChanged, this, &TDownloadItemFrame::Update);
        connect(FRequest, &QWebEngineDownloadRequest::receivedBytesChanged, this, &TDownloadItemFrame::Update);
        connect(FRequest, &QWebEngineDownloadRequest::totalBytesChanged, this, &TDownloadItemFrame::Update);
        // The profile frees its requests; the row keeps what it last showed.
        connect(FRequest, &QObject::destroyed, this, &TDownloadItemFrame::Update);
    } else {
        FState = dsFailed;
    }
    Update();
}

QString TDownloadItemFrame::SizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString TDownloadItemFrame::StateText() const
{
    return FLabelState->text();
}

void TDownloadItemFrame::Update()
{
    const TState before = FState;
    if (FRequest) {
        switch (FRequest->state()) {
        case QWebEngineDownloadRequest::DownloadRequested:
        case QWebEngineDownloadRequest::DownloadInProgress: FState = dsRunning; break;
        case QWebEngineDownloadRequest::DownloadCompleted: FState = dsDone; break;
        case QWebEngineDownloadRequest::DownloadCancelled: FState = dsCancelled; break;
        case QWebEngineDownloadRequest::DownloadInterrupted:
            FState = dsFailed;
            FFailure = FRequest->interruptReasonString();
            break;
        }
        const qint64 received = FRequest->receivedBytes();
        const qint64 total = FRequest->totalBytes();
        if (FState == dsRunning) {
            if (total > 0) {
                FProgress->setRange(0, 1000);
                FProgress->setValue(int(received * 1000 / total));
                FLabelState->setText(QStringLiteral("%1 of %2").arg(SizeText(received), SizeText(total)));
            } else {
                FProgress->setRange(0, 0); // size unknown: a busy bar
                FLabelState->setText(SizeText(received));
            }
        } else if (FState == dsDone) {
            FProgress->setRange(0, 1);
            FProgress->setValue(1);
            FLabelState->setText(QStringLiteral("%1, done").arg(SizeText(received)));
        }
    } else if (FState == dsRunning) {
        // The engine let go of a download it never finished.
        FState = dsFailed;
    }
    if (FState == dsCancelled) {
        FProgress->setRange(0, 1);
        FProgress->setValue(0);
        FLabelState->setText(QStringLiteral("Cancelled"));
    } else if (FState == dsFailed) {
        FProgress->setRange(0, 1);
        FProgress->setValue(0);
        FLabelState->setText(QStringLiteral("Failed: %1").arg(FFailure.isEmpty() ? QStringLiteral("the download stopped") : FFailure));
        FLabelState->setStyleSheet(QStringLiteral("color: #b00020"));
    }
    FBtnCancel->setEnabled(FState == dsRunning);
    FBtnOpen->setEnabled(FState == dsDone);
    FBtnShowInFolder->setEnabled(FState == dsDone);
    if (FState != before)
        Q_EMIT StateChanged(this);
}

TFrameDownloads::TFrameDownloads(QWebEngineProfile* profile, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrameDownloads"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(6, 2, 2, 2);
    auto* title = new QLabel(QStringLiteral("Downloads"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    header->addWidget(title, 1);
    auto* clear = new QPushButton(QStringLiteral("Clear Finished"), this);
    clear->setObjectName(QStringLiteral("BtnClearFinished"));
    header->addWidget(clear);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("BtnCloseDownloads"));
    close->setText(QStringLiteral("\u00d7"));
    close->setToolTip(QStringLiteral("Hide the downloads"));
    close->setAccessibleName(QStringLiteral("Hide the downloads"));
    close->setAutoRaise(true);
    header->addWidget(close);
    layout->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumHeight(150);
    FItems = new QWidget(scroll);
    FItemsLayout = new QVBoxLayout(FItems);
    FItemsLayout->setContentsMargins(0, 0, 0, 0);
    FItemsLayout->setSpacing(0);
    FItemsLayout->addStretch();
    scroll->setWidget(FItems);
    layout->addWidget(scroll);
    hide();

    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    connect(clear, &QPushButton::clicked, this, [this] {
        for (int i = Count() - 1; i >= 0; --i)
            if (Items(i)->State() != TDownloadItemFrame::dsRunning)
                delete Items(i);
    });
    connect(profile, &QWebEngineProfile::downloadRequested, this, &TFrameDownloads::DownloadRequested);
}

QString TFrameDownloads::DownloadFolder() const
{
    if (!FFolder.isEmpty())
        return FFolder;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

int TFrameDownloads::Count() const
{
    return FItemsLayout->count() - 1; // the stretch at the end
}

TDownloadItemFrame* TFrameDownloads::Items(int index) const
{
    return qobject_cast<TDownloadItemFrame*>(FItemsLayout->itemAt(index)->widget());
}

QString TFrameDownloads::SafeFileName(const QString& suggested)
{
    // Whatever the site suggests, the name is one name inside the folder.
    QString name = suggested;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    name.remove(QChar(0));
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("download") : name;
}

QString TFrameDownloads::UniqueFileName(const QString& folder, const QString& name, const QSet<QString>& taken)
{
    const QDir dir(folder);
    auto free = [&](const QString& n) { return !taken.contains(dir.filePath(n)) && !QFileInfo::exists(dir.filePath(n)); };
    if (free(name))
        return name;
    const QFileInfo info(name);
    const QString base = info.suffix().isEmpty() ? name : name.left(name.size() - info.suffix().size() - 1);
    const QString ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (free(candidate))
            return candidate;
    }
}

void TFrameDownloads::DownloadRequested(QWebEngineDownloadRequest* request)
{
    if (request->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    const QString folder = DownloadFolder();
    const QString name = SafeFileName(request->suggestedFileName().isEmpty() ? request->downloadFileName()
                                                                             : request->suggestedFileName());
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
        request->cancel();
        AddItem(new TDownloadItemFrame(nullptr, QDir(folder).filePath(name),
                                       QStringLiteral("the download folder %1 cannot be written to").arg(folder), FItems));
        return;
    }
    QSet<QString> taken;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->State() == TDownloadItemFrame::dsRunning)
            taken.insert(Items(i)->FilePath());
    const QString unique = UniqueFileName(folder, name, taken);
    request->setDownloadDirectory(folder);
    request->setDownloadFileName(unique);
    request->accept();
    // The tab's navigation became this download and goes no further; the
    // page is left as it was, not loading.
    if (QWebEnginePage* page = request->page())
        page->triggerAction(QWebEnginePage::Stop);
    AddItem(new TDownloadItemFrame(request, QDir(folder).filePath(unique), QString(), FItems));
}

void TFrameDownloads::AddItem(TDownloadItemFrame* item)
{
    FItemsLayout->insertWidget(Count(), item);
    show();
    Q_EMIT ItemAdded(item);
}
