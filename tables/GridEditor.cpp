#include "GridEditor.h"

#include "Dialogs.h"
#include "Module1.h"
#include "ProgramGrid.h"
#include "ProgramPages.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTabWidget>

using namespace ProgramRules;

namespace {
// The keys that move the current cell rather than edit its text.
bool isNavigation(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return false;
    }
}
} // namespace

GridEditor::GridEditor(QTabWidget *tab, Dialogs &dialogs, QObject *parent)
    : QObject(parent), tab_(tab), dialogs_(dialogs) {
    Text5 = new QLineEdit(tab);
    Text5->setObjectName(QStringLiteral("Text5"));
    // A visible edge, so that the operator sees which cell takes the typing.
    Text5->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid palette(highlight); }"));
    Text5->setAlignment(Qt::AlignCenter);
    Text5->hide();
    Text5->installEventFilter(this);
}

void GridEditor::Attach(const std::array<ProgramPage *, 3> &pages) {
    pages_ = pages;
    for (ProgramPage *page : pages) {
        ProgramGrid *grid = page->FGrid;
        const int g = grid->Index;
        // The commit check runs on the cell being left, then the editor moves to the new one.
        connect(grid, &QTableWidget::currentCellChanged, this,
                [this, g](int row, int col, int oldRow, int oldCol) {
                    if (InColouring)
                        return;
                    if (oldRow >= 0 && oldCol >= 0)
                        CommitCheck(g, oldRow + 1, oldCol);
                    if (row >= 0 && col >= 0)
                        PlaceEditor(g);
                });
        connect(grid, &ProgramGrid::focusGained, this, [this, g] { PlaceEditor(g); });
        connect(grid, &ProgramGrid::scrolled, this, [this, g] { ReplaceEditor(g); });
    }
}

int GridEditor::CurrentIndex() const {
    return tab_->currentIndex();
}

ProgramGrid *GridEditor::CurrentGrid() const {
    const int i = CurrentIndex();
    return i >= 0 && i < 3 && pages_[i] ? pages_[i]->FGrid : nullptr;
}

void GridEditor::PlaceEditor(int g) {
    if (InColouring)
        return;
    ProgramGrid *grid = pages_[g]->FGrid;
    if (grid->Row() < 1 || grid->Col() < FirstValueColumn(g))
        return;
    Text5->setText(grid->TextMatrix(grid->Row(), grid->Col()));
    ReplaceEditor(g);
    if (g == 1 && CurrentIndex() == 1 && pages_[1]->Running()) {
        Text5->hide();
        return;
    }
    Text5->show();
    Text5->raise();
    Text5->setFocus();
    Text5->selectAll();
}

void GridEditor::ReplaceEditor(int g) {
    if (InColouring)
        return;
    ProgramGrid *grid = pages_[g]->FGrid;
    // A child of the grid's viewport, so that it is clipped to the cells and moves with them.
    if (Text5->parentWidget() != grid->viewport()) {
        const bool shown = Text5->isVisible();
        Text5->setParent(grid->viewport());
        Text5->setVisible(shown);
    }
    Text5->setGeometry(grid->CellRect(grid->Row(), grid->Col()));
}

void GridEditor::HideEditor() {
    if (Text5->isHidden())
        return;
    ProgramGrid *grid = nullptr;
    for (ProgramPage *page : pages_)
        if (page && Text5->parentWidget() == page->FGrid->viewport())
            grid = page->FGrid;
    const QString typed = Text5->text();
    // Hidden first: a refusal's box may hand the focus back to whoever asked for the hiding.
    Text5->hide();
    // Whatever hides the editor, a value typed into it gets its check: the cell never keeps the
    // text typed live when that text fails.
    if (grid)
        Check(grid->Index, grid->Row(), grid->Col(), typed, false);
}

bool GridEditor::CommitEditing(int g) {
    ProgramGrid *grid = pages_[g]->FGrid;
    // A hidden editor holds no pending value: its text may belong to a cell long left.
    if (Text5->isHidden() || Text5->parentWidget() != grid->viewport())
        return true;
    if (CommitCheck(g, grid->Row(), grid->Col()))
        return true;
    // The editor stays over the cell: show what the cell holds now, ready to be typed over.
    Text5->setText(grid->TextMatrix(grid->Row(), grid->Col()));
    Text5->selectAll();
    return false;
}

bool GridEditor::CommitCheck(int g, int row, int col) {
    return Check(g, row, col, Text5->text(), true);
}

bool GridEditor::Check(int g, int row, int col, const QString &typed, bool editing) {
    if (InColouring || !CellEdited || row < 1)
        return true;
    const auto commit = ProgramRules::CommitCell(g, col, typed);
    if (!commit)
        return true;
    ProgramGrid *grid = pages_[g]->FGrid;
    if (!commit->message.isEmpty())
        dialogs_.MsgBox(commit->message);
    grid->SetTextMatrix(row, col, commit->text);
    if (commit->recolour)
        SetFGridForeColor(g);
    if (commit->refocus && editing)
        Text5->setFocus();
    return commit->message.isEmpty();
}

void GridEditor::ClsFGrid(int g) {
    if (g < 0)
        g = CurrentIndex();
    ProgramGrid *grid = pages_[g]->FGrid;
    grid->setUpdatesEnabled(false);
    for (int r = 1; r < grid->Rows(); ++r) {
        const QStringList zero = ZeroRow(g, r);
        for (int c = FirstValueColumn(g) == 1 ? 0 : 2; c < grid->columnCount(); ++c)
            grid->SetTextMatrix(r, c, zero[c]);
    }
    grid->setUpdatesEnabled(true);
    SetFGridForeColor(g);
}

void GridEditor::SetFGridForeColor(int g) {
    if (g < 0)
        g = CurrentIndex();
    if (g < 0 || g > 2)
        return;
    InColouring = true;
    ProgramPage *page = pages_[g];
    const Colouring colouring = ColourRows(g, page->FGrid->DataRows());
    page->FGrid->ApplyColouring(colouring.cells);
    page->EnableRun(true); // Run exactly while the program can run
    InColouring = false;
}

void GridEditor::Text5_KeyPress(const QString &typed) {
    if (!typed.isEmpty() && typed != u"\r")
        CellEdited = true;
}

void GridEditor::Text5_KeyDown(int key) {
    ProgramGrid *grid = CurrentGrid();
    if (!grid || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return;
    if (!isNavigation(key)) {
        SetFGridForeColor();
        return;
    }
    Navigate(grid, key);
    grid->setFocus();
    PlaceEditor(grid->Index);
}

void GridEditor::Navigate(ProgramGrid *grid, int key) {
    const int row = grid->Row(), col = grid->Col(), rows = grid->Rows();
    const bool timed = IsTimed(grid->Index);
    int toRow = row, toCol = col;
    switch (key) {
    case Qt::Key_Left:
        if (timed ? col > 1 : col == 3)
            toCol = col - 1;
        break;
    case Qt::Key_Up:
        if (row >= 2)
            toRow = row - 1;
        break;
    case Qt::Key_Down:
        if (row < rows - 1)
            toRow = row + 1;
        break;
    default: // Right, Enter
        if (!timed) {
            if (col == 2) {
                toCol = 3;
            } else if (col == 3 && row < rows - 1) {
                toRow = row + 1;
                toCol = 2;
            }
        } else if (col >= 1 && col <= 3) {
            toCol = col + 1;
        } else if (col == 4 && key != Qt::Key_Right) {
            if (row < rows - 1) {
                toRow = row + 1;
                toCol = 1;
            } else if (grid->Index == 1 && rows < MaxExternalSteps + 1) {
                AppendRow(grid);
                return;
            }
        }
    }
    if (toRow != row || toCol != col)
        grid->SetCurrent(toRow, toCol);
}

void GridEditor::AppendRow(ProgramGrid *grid) {
    const int n = grid->Rows();
    grid->SetRows(n + 1);
    grid->SetDataRow(n, ZeroRow(grid->Index, n));
    pages_[1]->RowsChanged(n);
    if (grid->Rows() >= 12)
        grid->SetColumnWidthsTwips(WidthsTwips(grid->Index, n));
    grid->SetCurrent(n, 1);
}

void GridEditor::Text5_KeyUp(int key) {
    ProgramGrid *grid = CurrentGrid();
    if (!grid || isNavigation(key))
        return;
    if (const auto text = LiveText(grid->Index, grid->Col(), Text5->text()))
        grid->SetTextMatrix(grid->Row(), grid->Col(), *text);
    pages_[grid->Index]->CellTyped();
    SetFGridForeColor();
}

void GridEditor::TabOut(bool forward) {
    ProgramGrid *grid = CurrentGrid();
    if (!grid || !CommitEditing(grid->Index))
        return; // refused: the editor keeps the focus, as on any leaving
    // The next (or previous) control outside the grid that takes the focus by Tab; it gets the
    // focus before the editor goes, or Qt would hand the focus back to the grid.
    QWidget *w = grid;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    } while (w != grid && (grid->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) ||
                           !w->isEnabled() || !w->isVisible()));
    if (w != grid)
        w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    HideEditor();
}

bool GridEditor::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Text5) {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                TabOut(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            Text5_KeyPress(key->text());
            Text5_KeyDown(key->key());
            if (isNavigation(key->key()))
                return true; // the cell moved; the editor's caret stays
        } else if (event->type() == QEvent::KeyRelease) {
            Text5_KeyUp(static_cast<QKeyEvent *>(event)->key());
        }
    }
    return QObject::eventFilter(watched, event);
}
