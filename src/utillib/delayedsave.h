#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Runs a save a short while after the last change instead of only at exit, so
// that a crash or a power cut loses at most that short while. Changes that
// come in a burst (a window dragged, several fields edited) give one save.
class TDelayedSave : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultDelayMs = 800;

    explicit TDelayedSave(std::function<void()> save, int delayMs = DefaultDelayMs, QObject* parent = nullptr);
    // A pending save runs now: the owner's last state reaches the disk.
    ~TDelayedSave() override;
    Q_DISABLE_COPY_MOVE(TDelayedSave)

    // Asks for a save; the timer starts at the first request after a save and
    // is not pushed back by later ones, so a steady stream of changes still
    // reaches the disk every delay.
    void Schedule();
    // Runs a pending save now; nothing when none is pending.
    void Flush();
    bool Pending() const { return FTimer.isActive(); }

private:
    void Run();

    std::function<void()> FSave;
    QTimer FTimer;
};
