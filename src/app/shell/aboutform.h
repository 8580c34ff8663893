#pragma once

#include <QDialog>

class QLabel;

// "About Vantoli": the product logo, the version and the maker.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
    QLabel* LabelVersion() const { return FLabelVersion; }

    static inline const QString ProducerName = QStringLiteral("The Vantoli developers");

    // "Version %s" of the program's version, empty after the blank when 0.0.0.0.
    static QString VersionText();

private:
    QLabel* FLabelVersion;
};
