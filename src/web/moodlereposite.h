#pragma once

#include "app/uploaders/moodlerepouploaders.h"

#include <QPointer>

class TEmbeddedWB;

// The repository upload through browser controls: the upload parameters are
// read from the page of the target browser (the one that shows the editor),
// the posts go through the operation browser (a hidden control on the same
// profile, so the visible page stays as it is and the session is the same).
class TMoodleRepoBrowserSite : public IMoodleRepoUploadSite {
public:
    TMoodleRepoBrowserSite(TEmbeddedWB* targetBrowser, TEmbeddedWB* operBrowser);

    TEmbeddedWB* TargetBrowser() const { return FTargetBrowser.data(); }
    void SetTargetBrowser(TEmbeddedWB* b) { FTargetBrowser = b; }
    TEmbeddedWB* OperBrowser() const { return FOperBrowser.data(); }
    void SetOperBrowser(TEmbeddedWB* b) { FOperBrowser = b; }

    TMoodleRepoPageValues ReadUploadPageValues(const QString& editorId, const QString& itemType) override;
    QString PostUpload(const QString& url, const QStringList& params, const QStringList& files) override;
    void AbortPost() override;

    // The upload parameters of the editor whose frame id is given, read from
    // the page shown by browser, into params (cleared first).
    static void FillUploadParamValues(TEmbeddedWB* browser, const QString& frameId, const QString& itemType,
                                      QStringList& params);
    static TMoodleRepoPageValues ReadPageValues(TEmbeddedWB* browser, const QString& editorId, const QString& itemType);

private:
    QPointer<TEmbeddedWB> FTargetBrowser;
    QPointer<TEmbeddedWB> FOperBrowser;
    bool FPosting = false;
    bool FAbortRequested = false;
};
