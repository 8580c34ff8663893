#pragma once

#include <QColor>
#include <QPointer>
#include <QTableWidget>

struct TPropInfo;

// The colours the inspector paints with; all invalid means the style's own.
struct TInspectorColors {
    QColor Background;          // the rows
    QColor Category;            // category rows and the divider
    QColor UnfocusedSelection;  // the selected row while the inspector has no focus
    QColor FocusedSelection;    // the selected row while it has
    QColor Text;                // names and values
    QColor CategoryText;
    QColor SelectedText;
    bool operator==(const TInspectorColors&) const = default;
};

// An in-place editor of the published properties of one object: one row per
// property, name on the left and an editor by kind on the right (text, whole
// number, true/false, one of an enumeration's names). Every edit is written
// into the object at once through its setter; a value the setter rejects is
// reported in the error box and the editor shows the stored value again.
// Properties of other kinds are shown but cannot be edited here.
class TPropertyInspector : public QTableWidget {
    Q_OBJECT
public:
    explicit TPropertyInspector(QWidget* parent = nullptr);

    QObject* InspectObject() const { return FObject; }
    void SetInspectObject(QObject* object);
    // Reads every value from the object again.
    void RefreshValues();

    int RowOfProperty(const QString& name) const;
    QString PropertyNameAt(int row) const;
    // The editor of a property, or none.
    QWidget* EditorOf(const QString& name) const;

    const TInspectorColors& Colors() const { return FColors; }
    void SetColors(const TInspectorColors& colors);

    static constexpr int NameColumnWidth = 118;

Q_SIGNALS:
    void PropertyWritten(const QString& name);

private:
    void AddRow(const TPropInfo& info);
    void ShowValue(int row);
    void WriteValue(int row, const QVariant& value);
    QVariant StoredValue(int row) const;

    QPointer<QObject> FObject;
    QList<int> FPropIndexes; // row -> index of the property in the object's meta-object
    TInspectorColors FColors;
    int FShowing = 0;
};
