#include "app/shell/formplacement.h"

#include "utillib/placementstore.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

TFormPlacement::TFormPlacement(QWidget* window, TXmlPlacementStore* store, QString section)
    : QObject(window), FWindow(window), FStore(store), FSection(std::move(section))
{
    window->installEventFilter(this);
}

TFormPlacement::~TFormPlacement() = default;

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FWindow) {
        if (event->type() == QEvent::Show && !FRestored) {
            FRestored = true;
            Restore();
        } else if (event->type() == QEvent::Hide || event->type() == QEvent::Close) {
            Store();
        } else if (FRestored && FWindow->isVisible()
                   && (event->type() == QEvent::Move || event->type() == QEvent::Resize
                       || event->type() == QEvent::WindowStateChange)) {
            // Written soon by the store's owner, so a crash keeps the last
            // placement, not the one of the previous run.
            Store();
        }
    }
    return QObject::eventFilter(watched, event);
}

void TFormPlacement::Restore()
{
    if (!FWindow || !FStore || !FStore->HasValue(FSection, QStringLiteral("Width")))
        return;
    // The file is the user's to edit (or damage): values far outside any
    // screen are bounded before they make a rectangle, whose edges would
    // otherwise overflow.
    static constexpr int Limit = 1 << 20;
    auto read = [this](const char* key, int fallback, int low) {
        return qBound(low, FStore->ReadInteger(FSection, QLatin1String(key), fallback), Limit);
    };
    const int left = read("Left", FWindow->x(), -Limit);
    const int top = read("Top", FWindow->y(), -Limit);
    const int width = read("Width", FWindow->width(), 100);
    const int height = read("Height", FWindow->height(), 80);
    QRect r(left, top, width, height);
    // A placement from a larger or another screen is pulled back into view,
    // and made no larger than the screens: a window of a damaged size would
    // take memory for every pixel of it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableVirtualGeometry();
        if (!avail.isEmpty()) {
            r.setSize(r.size().boundedTo(avail.size()));
            if (!avail.intersects(r))
                r.moveTopLeft(avail.topLeft());
        }
    }
    FWindow->setGeometry(r);
    const QString state = FStore->ReadString(FSection, QStringLiteral("State"));
    if (state == QLatin1String("Maximized"))
        FWindow->setWindowState(FWindow->windowState() | Qt::WindowMaximized);
}

void TFormPlacement::Store()
{
    if (!FWindow || !FStore || !FRestored)
        return;
    const bool maximized = FWindow->isMaximized();
    const QRect r = maximized ? FWindow->normalGeometry() : FWindow->geometry();
    if (!r.isValid())
        return;
    FStore->WriteString(FSection, QStringLiteral("State"), maximized ? QStringLiteral("Maximized") : QStringLiteral("Normal"));
    FStore->WriteInteger(FSection, QStringLiteral("Left"), r.x());
    FStore->WriteInteger(FSection, QStringLiteral("Top"), r.y());
    FStore->WriteInteger(FSection, QStringLiteral("Width"), r.width());
    FStore->WriteInteger(FSection, QStringLiteral("Height"), r.height());
}
