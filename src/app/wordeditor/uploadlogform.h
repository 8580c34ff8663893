#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// A small window listing log lines under a bold title; the word editor shows
// it when a submission did not upload every picture.
class TFormUploadLog : public QDialog {
    Q_OBJECT
public:
    explicit TFormUploadLog(QWidget* parent = nullptr);

    QStringList Log() const;
    void SetLog(const QStringList& lines);
    QString Title() const;
    void SetTitle(const QString& title);

    // An empty title shows "Log". Modal: returns when the window is closed.
    void Execute(const QStringList& log, const QString& title, bool modal);

    QLabel* LabelTitle = nullptr;
    QPlainTextEdit* MemoLog = nullptr;
    QPushButton* BtnClose = nullptr;
};
