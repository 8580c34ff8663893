#include "app/dialogs/propertyinspector.h"

#include "app/dialogs/appmessages.h"
#include "utillib/exceptions.h"
#include "utillib/objutils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaEnum>
#include <QSpinBox>
#include <climits>

namespace {

QString Css(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

} // namespace

TPropertyInspector::TPropertyInspector(QWidget* parent) : QTableWidget(0, 2, parent)
{
    setObjectName(QStringLiteral("InspectorProp"));
    horizontalHeader()->setVisible(false);
    verticalHeader()->setVisible(false);
    setColumnWidth(0, NameColumnWidth);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(qMax(16, fontMetrics().height() + 8));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // The editors sit in the grid like text; the program's sheet would frame
    // each of them. (SetColors replaces this sheet and keeps the rule.)
    setStyleSheet(QStringLiteral("QTableWidget QLineEdit, QTableWidget QSpinBox, QTableWidget QComboBox"
                                 " { border: none; background: transparent; }"));
}

void TPropertyInspector::SetInspectObject(QObject* object)
{
    FObject = object;
    ++FShowing;
    setRowCount(0);
    FPropIndexes.clear();
    if (object) {
        for (const TPropInfo& info : TPropTable::StorageOrder(object->metaObject()))
            if (info.Visibility == TPropVisibility::mvPublished && info.Readable())
                AddRow(info);
    }
    --FShowing;
}

void TPropertyInspector::AddRow(const TPropInfo& info)
{
    const int row = rowCount();
    insertRow(row);
    FPropIndexes.append(info.Prop.propertyIndex());
    auto* nameItem = new QTableWidgetItem(info.Name);
    nameItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, 0, nameItem);
    auto* valueItem = new QTableWidgetItem;
    valueItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, 1, valueItem);

    const int propIndex = info.Prop.propertyIndex();
    QWidget* editor = nullptr;
    if (info.Writable()) {
        switch (info.Kind) {
        case TPropKind::pkString: {
            auto* e = new QLineEdit;
            e->setFrame(false);
            connect(e, &QLineEdit::editingFinished, this, [this, e, propIndex] {
                WriteValue(FPropIndexes.indexOf(propIndex), e->text());
            });
            editor = e;
            break;
        }
        case TPropKind::pkInteger: {
            auto* e = new QSpinBox;
            e->setFrame(false);
            e->setRange(INT_MIN, INT_MAX);
            e->setButtonSymbols(QAbstractSpinBox::NoButtons);
            e->setKeyboardTracking(false);
            connect(e, &QSpinBox::editingFinished, this, [this, e, propIndex] {
                WriteValue(FPropIndexes.indexOf(propIndex), e->value());
            });
            editor = e;
            break;
        }
        case TPropKind::pkBoolean: {
            auto* e = new QCheckBox;
            connect(e, &QCheckBox::clicked, this, [this, propIndex](bool checked) {
                WriteValue(FPropIndexes.indexOf(propIndex), checked);
            });
            editor = e;
            break;
        }
        case TPropKind::pkEnumeration: {
            auto* e = new QComboBox;
            e->setFrame(false);
            const QMetaEnum en = info.Prop.enumerator();
            for (int i = 0; i < en.keyCount(); ++i)
                e->addItem(QString::fromLatin1(en.key(i)), en.value(i));
            connect(e, &QComboBox::activated, this, [this, e, propIndex](int index) {
                WriteValue(FPropIndexes.indexOf(propIndex), e->itemData(index));
            });
            editor = e;
            break;
        }
        default:
            break;
        }
    }
    if (editor) {
        editor->setObjectName(info.Name);
        // The row's editor sits in a container whose position identifies the row.
        auto* cell = new QWidget;
        auto* layout = new QHBoxLayout(cell);
        layout->setContentsMargins(2, 0, 0, 0);
        layout->addWidget(editor);
        setCellWidget(row, 1, cell);
    }
    ShowValue(row);
}

QVariant TPropertyInspector::StoredValue(int row) const
{
    if (!FObject || row < 0 || row >= FPropIndexes.size())
        return {};
    return FObject->metaObject()->property(FPropIndexes[row]).read(FObject);
}

void TPropertyInspector::ShowValue(int row)
{
    if (!FObject || row < 0 || row >= FPropIndexes.size())
        return;
    ++FShowing;
    const QMetaProperty prop = FObject->metaObject()->property(FPropIndexes[row]);
    const QVariant value = prop.read(FObject);
    QString text;
    if (prop.isEnumType())
        text = QString::fromLatin1(prop.enumerator().valueToKey(value.toInt()));
    else if (prop.metaType().id() == QMetaType::Bool)
        text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    else if (prop.metaType().flags().testFlag(QMetaType::PointerToQObject)) {
        QObject* o = value.value<QObject*>();
        text = o ? QStringLiteral("(%1)").arg(QString::fromLatin1(o->metaObject()->className())) : QString();
    } else
        text = value.toString();
    QWidget* editor = EditorOf(PropertyNameAt(row));
    // The cell shows the text itself only where no editor covers it.
    item(row, 1)->setText(editor ? QString() : text);
    if (editor) {
        if (auto* e = qobject_cast<QLineEdit*>(editor))
            e->setText(value.toString());
        else if (auto* e = qobject_cast<QSpinBox*>(editor))
            e->setValue(value.toInt());
        else if (auto* e = qobject_cast<QCheckBox*>(editor)) {
            e->setChecked(value.toBool());
            e->setText(text);
        } else if (auto* e = qobject_cast<QComboBox*>(editor))
            e->setCurrentIndex(e->findData(value.toInt()));
    }
    --FShowing;
}

void TPropertyInspector::WriteValue(int row, const QVariant& value)
{
    if (FShowing || !FObject || row < 0 || row >= FPropIndexes.size())
        return;
    const QMetaProperty prop = FObject->metaObject()->property(FPropIndexes[row]);
    QVariant stored = prop.read(FObject);
    QVariant typed = value;
    if (prop.isEnumType())
        typed = value.toInt();
    // Leaving an editor without a change writes nothing; this also keeps a
    // rejected value from being reported again when the error box takes the focus.
    if (prop.isEnumType() ? stored.toInt() == typed.toInt() : stored == typed)
        return;
    try {
        if (!prop.write(FObject, typed))
            throw EConvertError(QStringLiteral("Invalid value for the property \"%1\"")
                                    .arg(QString::fromLatin1(prop.name())));
    } catch (const std::exception& e) {
        ShowValue(row);
        TAppMessages::PostException(this, dynamic_cast<const Exception*>(&e)
                                              ? static_cast<const Exception&>(e).Message()
                                              : QString::fromUtf8(e.what()));
        return;
    }
    ShowValue(row);
    Q_EMIT PropertyWritten(QString::fromLatin1(prop.name()));
}

void TPropertyInspector::RefreshValues()
{
    for (int row = 0; row < rowCount(); ++row)
        ShowValue(row);
}

int TPropertyInspector::RowOfProperty(const QString& name) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (PropertyNameAt(row).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QString TPropertyInspector::PropertyNameAt(int row) const
{
    const QTableWidgetItem* i = item(row, 0);
    return i ? i->text() : QString();
}

QWidget* TPropertyInspector::EditorOf(const QString& name) const
{
    const int row = RowOfProperty(name);
    QWidget* cell = row >= 0 ? cellWidget(row, 1) : nullptr;
    return cell ? cell->findChild<QWidget*>(PropertyNameAt(row)) : nullptr;
}

void TPropertyInspector::SetColors(const TInspectorColors& colors)
{
    FColors = colors;
    QPalette p = palette();
    p.setColor(QPalette::Base, colors.Background);
    p.setColor(QPalette::Window, colors.Background);
    p.setColor(QPalette::Button, colors.Category);
    p.setColor(QPalette::Text, colors.Text);
    p.setColor(QPalette::WindowText, colors.Text);
    p.setColor(QPalette::ButtonText, colors.CategoryText);
    p.setColor(QPalette::Active, QPalette::Highlight, colors.FocusedSelection);
    p.setColor(QPalette::Inactive, QPalette::Highlight, colors.UnfocusedSelection);
    p.setColor(QPalette::HighlightedText, colors.SelectedText);
    setPalette(p);
    // The program's style sheet styles every table alike; the inspector's own
    // sheet takes precedence over it.
    setStyleSheet(QStringLiteral(
                      "QTableWidget { background: %1; color: %2; gridline-color: %3;"
                      " selection-background-color: %4; selection-color: %5; }\n"
                      "QTableWidget:!focus { selection-background-color: %6; }\n"
                      "QTableWidget QLineEdit, QTableWidget QSpinBox, QTableWidget QComboBox,"
                      " QTableWidget QCheckBox, QTableWidget QWidget { background: %1; color: %2; border: none; }\n")
                      .arg(Css(colors.Background), Css(colors.Text), Css(colors.Category),
                           Css(colors.FocusedSelection), Css(colors.SelectedText), Css(colors.UnfocusedSelection)));
}
