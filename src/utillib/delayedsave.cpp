#include "utillib/delayedsave.h"

TDelayedSave::TDelayedSave(std::function<void()> save, int delayMs, QObject* parent)
    : QObject(parent), FSave(std::move(save))
{
    FTimer.setSingleShot(true);
    FTimer.setInterval(delayMs);
    connect(&FTimer, &QTimer::timeout, this, &TDelayedSave::Run);
}

TDelayedSave::~TDelayedSave()
{
    Flush();
}

void TDelayedSave::Schedule()
{
    if (!FTimer.isActive())
        FTimer.start();
}

void TDelayedSave::Flush()
{
    if (FTimer.isActive()) {
        FTimer.stop();
        Run();
    }
}

void TDelayedSave::Run()
{
    // A save that fails must not take the program down from a timer event;
    // the next change schedules another attempt.
    try {
        if (FSave)
            FSave();
    } catch (...) {
    }
}
