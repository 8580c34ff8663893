#pragma once

#include "app/shell/globaldm.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QWidget;

class TConfigPreset;
class TMoodleSysConfig;

// Answers the modal windows the code under test opens: message boxes are
// recorded and answered, other dialogs go to a handler. A modal window
// nobody closes within a while is rejected, so a fault cannot hang the run.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> onDialog = {});
    ~ModalWatcher() override;

    QStringList Messages;      // texts of the message boxes, in order
    QStringList BoxNames;      // their object names
    QMessageBox::StandardButton ConfirmAnswer = QMessageBox::Yes;
    int DialogsSeen = 0;
    bool TimedOut = false;
    // Waits until n message boxes were answered.
    bool WaitForMessages(int n, int timeoutMs = 5000);

private:
    void Poll();
    QTimer FTimer;
    std::function<void(QWidget*)> FOnDialog;
    QList<QPointer<QWidget>> FHandled;
    QPointer<QWidget> FPending;
    qint64 FPendingSince = 0;
};

// Every test runs with its own global resources and with the program-wide
// configuration objects emptied before and after it.
class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    static void ResetConfigs();

    // Shows a top-level window and waits until it is active, so focus moves
    // the way a user sees them.
    static void ShowActive(QWidget* w);
    // Waits until w has the focus (the window may first have to come back
    // from a message box).
    // Clicks a check box or radio button on its indicator (the middle of a
    // wide one is outside what reacts to the mouse).
    static void ClickBox(QWidget* box);
    static bool WaitFocus(QWidget* w, int timeoutMs = 3000);
    // A site preset with a title and, optionally, a custom uploader name and method.
    static TConfigPreset* AddSite(const QString& title);
    static TMoodleSysConfig* SiteConfig(TConfigPreset* preset);

    std::unique_ptr<TDmGlobal> FDm;
};
