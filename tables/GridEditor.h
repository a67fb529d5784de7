// The in-cell editor Text5, shared by the three program grids, and the grid procedures of the
// main window that go with it: placing the editor, the keys, the commit check on the cell being
// left, the row growth of the external grid, ClsFGrid and SetFGridForeColor.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <array>

class Dialogs;
class ProgramGrid;
class ProgramPage;
class QTabWidget;

class GridEditor : public QObject {
    Q_OBJECT
public:
    GridEditor(QTabWidget *tab, Dialogs &dialogs, QObject *parent = nullptr);
    // Wires the pages' grids; called once the three pages exist.
    void Attach(const std::array<ProgramPage *, 3> &pages);

    QLineEdit *Text5 = nullptr;
    bool CellEdited = false;  // a character was typed since the page was shown or saved
    bool InColouring = false; // the colouring pass runs: every grid notification is ignored

    // Runs a rebuild of a grid by the program itself: its moves of the current cell are no
    // operator's, so no check runs on a cell that goes away and the editor is not placed.
    template <typename F> void Quietly(F &&rebuild) {
        const bool was = InColouring;
        InColouring = true;
        rebuild();
        InColouring = was;
    }

    // The grid of the page shown, nothing on the Data Log page.
    ProgramGrid *CurrentGrid() const;
    int CurrentIndex() const;

public slots:
    void PlaceEditor(int grid);
    void ReplaceEditor(int grid);
    // Hides the editor; a value typed into it gets the commit check on its cell first (a refusal
    // shows its message and zeroes the cell). Inside Quietly nothing is checked.
    void HideEditor();
    // The commit check on the grid's cell at (row, col), which is being left. False when the
    // value failed: its message was shown and the editor has the focus back.
    bool CommitCheck(int grid, int row, int col);
    // Before a page button reads the grid: the commit check of the cell whose editor is open
    // over it, so that a value typed but not yet checked never goes out or into the store.
    bool CommitEditing(int grid);
    // The current page's grid, or the given one.
    void ClsFGrid(int grid = -1);
    void SetFGridForeColor(int grid = -1);

    void Text5_KeyPress(const QString &typed);
    void Text5_KeyDown(int key);
    void Text5_KeyUp(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The commit check of `typed` on a cell; `editing`: a refusal gives the focus back to the
    // editor, which stays over the cell.
    bool Check(int g, int row, int col, const QString &typed, bool editing);
    // Tab and Shift+Tab leave the grid: the cell's check, then the next or previous control.
    void TabOut(bool forward);
    void AppendRow(ProgramGrid *grid);
    void Navigate(ProgramGrid *grid, int key);

    QTabWidget *tab_;
    Dialogs &dialogs_;
    std::array<ProgramPage *, 3> pages_{};
};
