// One program grid (FGrid 0-2). Rows and columns are counted as the operator documentation
// counts them: row 0 is the header, data rows start at 1, and the leading columns are fixed.
// Cells are never edited in place; the shared editor floats over the current cell.
#pragma once

#include "ProgramRules.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QTableWidget>
#include <array>

class ProgramGrid : public QTableWidget {
    Q_OBJECT
public:
    ProgramGrid(int index, QWidget *parent = nullptr);

    const int Index; // 0 internal, 1 external, 2 preset

    int Rows() const { return rowCount() + 1; } // including the header row
    void SetRows(int rows);
    int Row() const { return currentRow() + 1; } // 0 when no cell is current
    int Col() const { return currentColumn(); }
    void SetCurrent(int row, int col);
    QString TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const QString &text);
    QList<QStringList> DataRows() const;
    void SetDataRow(int row, const QStringList &cells); // every column
    void SetColumnWidthsTwips(const QList<int> &twips);
    void ApplyColouring(const QList<QList<ProgramRules::Colour>> &cells);
    QColor CellColour(int row, int col) const;
    // The cell's place in the viewport, where the editor is drawn.
    QRect CellRect(int row, int col) const;

    // Preset grid: the row selection buttons Option1(1)-(9) in the "Option" column.
    std::array<QRadioButton *, 10> Option1{};
    int SelectedOption() const; // the first selected row, 0 for none
    void SetOption(int row, bool on);

signals:
    void focusGained();
    void scrolled();
    void optionClicked(int row);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QTableWidgetItem *cell(int row, int col) const;
    QButtonGroup *options_ = nullptr;
};
