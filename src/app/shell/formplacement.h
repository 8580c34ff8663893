#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class TXmlPlacementStore;

// Keeps a window's state, size and position in the placement store under the
// window's name: restored on the window's first showing in a run, stored when
// it is hidden or destroyed. A window without stored values keeps the
// placement it was designed with.
class TFormPlacement : public QObject {
    Q_OBJECT
public:
    TFormPlacement(QWidget* window, TXmlPlacementStore* store, QString section);
    ~TFormPlacement() override;

    void Restore();
    void Store();
    QString Section() const { return FSection; }
    TXmlPlacementStore* Storage() const { return FStore; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FWindow;
    TXmlPlacementStore* FStore;
    QString FSection;
    bool FRestored = false;
};
