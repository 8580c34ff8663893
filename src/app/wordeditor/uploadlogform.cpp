#include "app/wordeditor/uploadlogform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormUploadLog::TFormUploadLog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormUploadLog"));
    setWindowTitle(tr("File Upload Log"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(512, 298);

    LabelTitle = new QLabel(this);
    QFont bold(QStringLiteral("Tahoma"));
    bold.setPixelSize(13);
    bold.setBold(true);
    LabelTitle->setFont(bold);

    MemoLog = new QPlainTextEdit(this);
    MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoLog->setMinimumHeight(235);

    BtnClose = new QPushButton(tr("&Close"), this);
    BtnClose->setDefault(true);
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelTitle);
    layout->addWidget(MemoLog, 1);
    layout->addLayout(buttons);
}

QStringList TFormUploadLog::Log() const
{
    const QString text = MemoLog->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TFormUploadLog::SetLog(const QStringList& lines)
{
    MemoLog->setPlainText(lines.join(QLatin1Char('\n')));
}

QString TFormUploadLog::Title() const
{
    return LabelTitle->text();
}

void TFormUploadLog::SetTitle(const QString& title)
{
    LabelTitle->setText(title);
}

void TFormUploadLog::Execute(const QStringList& log, const QString& title, bool modal)
{
    SetLog(log);
    SetTitle(title.isEmpty() ? tr("Log") : title);
    if (modal) {
        exec();
    } else {
        show();
        raise();
    }
}
