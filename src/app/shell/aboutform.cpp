#include "app/shell/aboutform.h"

#include "utillib/version.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The product logo, drawn rather than shipped: a 500 x 124 banner.
QPixmap Logo()
{
    QPixmap pm(500, 124);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 500, 124);
    g.setColorAt(0, QColor("#1f4e79"));
    g.setColorAt(1, QColor("#3a8fd6"));
    p.fillRect(pm.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(QPoint(440, 20), 90, 90);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("DejaVu Sans"), 40, QFont::Bold);
    p.setFont(f);
    p.drawText(QRect(24, 10, 460, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vantoli"));
    QFont s(QStringLiteral("DejaVu Sans"), 12);
    p.setFont(s);
    p.drawText(QRect(26, 78, 460, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Write in a real document, publish to your Moodle course"));
    return pm;
}

} // namespace

QString TFormAbout::VersionText()
{
    return QStringLiteral("Version %1").arg(AppVersion().ToString());
}

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vantoli"));
    setWindowOpacity(200.0 / 255.0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);

    auto* logo = new QLabel(this);
    logo->setPixmap(Logo());
    logo->setFixedHeight(125);
    logo->setScaledContents(true);
    logo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(logo);

    FLabelVersion = new QLabel(VersionText(), this);
    FLabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    QFont big = FLabelVersion->font();
    big.setPixelSize(17);
    FLabelVersion->setFont(big);
    layout->addWidget(FLabelVersion);

    // The project has no web pages of its own to link to; the guide ships
    // with the program.
    auto* producer = new QLabel(ProducerName, this);
    producer->setObjectName(QStringLiteral("LabelProducer"));
    producer->setFont(big);
    layout->addWidget(producer);

    auto* help = new QLabel(QStringLiteral("Press F1 for the user guide."), this);
    help->setObjectName(QStringLiteral("LabelHelp"));
    QFont small = help->font();
    small.setPixelSize(13);
    help->setFont(small);
    layout->addWidget(help);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("BtnClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    layout->addLayout(buttons);
}
