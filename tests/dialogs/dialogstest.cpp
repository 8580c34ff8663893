#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/dialogs/appmessages.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The configuration files of these tests go to a private folder, never to
// the user's: it is in place before any test reads a path.
struct PrivateAppData {
    QTemporaryDir dir;
    PrivateAppData() { qputenv("APPDATA", dir.path().toLocal8Bit()); }
};
const PrivateAppData gAppData;

} // namespace

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> onDialog) : FOnDialog(std::move(onDialog))
{
    FTimer.setInterval(15);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
    FTimer.start();
}

ModalWatcher::~ModalWatcher() = default;

bool ModalWatcher::WaitForMessages(int n, int timeoutMs)
{
    return testutil::waitUntil([&] { return Messages.size() >= n; }, timeoutMs);
}

void ModalWatcher::Poll()
{
    QWidget* w = QApplication::activeModalWidget();
    for (qsizetype i = FHandled.size() - 1; i >= 0; --i)
        if (!FHandled[i] || !FHandled[i]->isVisible())
            FHandled.removeAt(i);
    if (!w)
        return;
    if (FPending != w) {
        FPending = w;
        FPendingSince = QDateTime::currentMSecsSinceEpoch();
    }
    // Whether handled or not, a window still up after a while is closed.
    if (QDateTime::currentMSecsSinceEpoch() - FPendingSince > 15000) {
        TimedOut = true;
        FPending = nullptr;
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
        return;
    }
    if (FHandled.contains(w))
        return;
    // Act once the window is really up, as a user would.
    if (!w->isVisible() || QApplication::activeWindow() != w)
        return;
    FHandled.append(w);
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        Messages << box->text();
        BoxNames << box->objectName();
        QAbstractButton* b = box->button(QMessageBox::Ok);
        if (!b)
            b = box->button(ConfirmAnswer);
        if (b)
            b->click();
        else
            box->reject();
        return;
    }
    ++DialogsSeen;
    if (!FOnDialog) {
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        return;
    }
    // The handler runs from a timer of its own: Qt does not fire a timer
    // again while its handler runs, and this one must keep answering the
    // windows the handler itself opens.
    QPointer<QWidget> target(w);
    QTimer::singleShot(0, this, [this, target] {
        if (target)
            FOnDialog(target);
    });
}

void DialogsTest::SetUp()
{
    // What the program registers at start: the configuration files' format.
    TVantoliConfigPersistent::RegisterSaveLoader();
    ResetConfigs();
    FDm = std::make_unique<TDmGlobal>();
}

void DialogsTest::TearDown()
{
    // Errors posted by the last action must not reach the next test.
    ModalWatcher drain;
    QTest::qWait(30);
    FDm.reset();
    ResetConfigs();
}

void DialogsTest::ResetConfigs()
{
    TAppConfig* app = AppConfig();
    app->MoodleSysConfigPresets()->Clear();
    app->MoodleSysConfigPresets()->SetCurrPresetIndex(-1);
    app->GeneralConfig()->SetDefaultValues();
    FileUploaderPresetsConfig()->Presets()->Clear();
}

void DialogsTest::ShowActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

void DialogsTest::ClickBox(QWidget* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

bool DialogsTest::WaitFocus(QWidget* w, int timeoutMs)
{
    return testutil::waitUntil([w] { return w->hasFocus(); }, timeoutMs);
}

TConfigPreset* DialogsTest::AddSite(const QString& title)
{
    TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
    p->SetTitle(title);
    return p;
}

TMoodleSysConfig* DialogsTest::SiteConfig(TConfigPreset* preset)
{
    return qobject_cast<TMoodleSysConfig*>(preset->Config());
}
