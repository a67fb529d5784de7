#include "ProgramGrid.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>

using ProgramRules::Colour;

namespace {
const QColor FixedBackground(0xe4, 0xe4, 0xe4);

QColor colourOf(Colour c) {
    switch (c) {
    case Colour::DarkGreen:
        return QColor(0, 128, 0);
    case Colour::Red:
        return QColor(255, 0, 0);
    case Colour::Default:
    case Colour::Black:
        break;
    }
    return QColor(0, 0, 0);
}
} // namespace

ProgramGrid::ProgramGrid(int index, QWidget *parent) : QTableWidget(parent), Index(index) {
    setObjectName(QStringLiteral("FGrid_%1").arg(index));
    setColumnCount(ProgramRules::ColumnCount(index));
    setHorizontalHeaderLabels(ProgramRules::Headers(index));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!ProgramRules::IsTimed(index)) {
        options_ = new QButtonGroup(this);
        connect(options_, &QButtonGroup::idClicked, this, &ProgramGrid::optionClicked);
    }
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    SetColumnWidthsTwips(ProgramRules::WidthsTwips(index, ProgramRules::DefaultRows(index) - 1));
    SetRows(ProgramRules::DefaultRows(index));
    const auto heightFor = [this](int rows) {
        return frameWidth() * 2 + horizontalHeader()->sizeHint().height() +
               rows * verticalHeader()->defaultSectionSize();
    };
    if (index != 1) {
        // Grids of a fixed size show all their rows and no more, in any window size.
        setFixedHeight(heightFor(rowCount()));
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
        setMinimumHeight(heightFor(6)); // the external grid scrolls, but shows a few steps
    }
    // The grid fits its columns exactly; the frame and a possible scroll bar come on top.
    int width = frameWidth() * 2 + (index == 1 ? verticalScrollBar()->sizeHint().width() : 0);
    for (int c = 0; c < columnCount(); ++c)
        width += columnWidth(c);
    setMinimumWidth(width);
    setMaximumWidth(width);
}

QTableWidgetItem *ProgramGrid::cell(int row, int col) const {
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

void ProgramGrid::SetRows(int rows) {
    const int old = rowCount();
    setRowCount(std::max(rows - 1, 0));
    const int fixed = ProgramRules::FirstValueColumn(Index);
    for (int r = old; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            auto *it = new QTableWidgetItem;
            it->setTextAlignment(Qt::AlignCenter);
            if (c < fixed) {
                // Fixed cells take no part in editing or selection.
                it->setFlags(Qt::NoItemFlags);
                it->setBackground(FixedBackground);
                it->setForeground(QColor(Qt::black));
            } else {
                it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            setItem(r, c, it);
        }
        if (options_ && r + 1 < int(Option1.size())) {
            auto *button = new QRadioButton(this);
            button->setObjectName(QStringLiteral("Option1_%1").arg(r + 1));
            options_->addButton(button, r + 1);
            Option1[r + 1] = button;
            // Centred in its cell.
            auto *holder = new QWidget(this);
            auto *layout = new QHBoxLayout(holder);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(button, 0, Qt::AlignCenter);
            setCellWidget(r, 0, holder);
        }
    }
}

void ProgramGrid::SetCurrent(int row, int col) {
    setCurrentCell(row - 1, col);
}

QString ProgramGrid::TextMatrix(int row, int col) const {
    const QTableWidgetItem *it = cell(row, col);
    return it ? it->text() : QString();
}

void ProgramGrid::SetTextMatrix(int row, int col, const QString &text) {
    if (QTableWidgetItem *it = cell(row, col); it && it->text() != text)
        it->setText(text);
}

QList<QStringList> ProgramGrid::DataRows() const {
    QList<QStringList> rows;
    rows.reserve(rowCount());
    for (int r = 1; r < Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < columnCount(); ++c)
            cells << TextMatrix(r, c);
        rows << cells;
    }
    return rows;
}

void ProgramGrid::SetDataRow(int row, const QStringList &cells) {
    for (int c = 0; c < columnCount() && c < cells.size(); ++c)
        SetTextMatrix(row, c, cells[c]);
}

void ProgramGrid::SetColumnWidthsTwips(const QList<int> &twips) {
    for (int c = 0; c < columnCount() && c < twips.size(); ++c)
        setColumnWidth(c, ProgramRules::TwipsToPixels(twips[c]));
}

void ProgramGrid::ApplyColouring(const QList<QList<Colour>> &cells) {
    for (int r = 0; r < cells.size() && r < rowCount(); ++r)
        for (int c = 0; c < cells[r].size(); ++c) {
            if (cells[r][c] == Colour::Default)
                continue;
            const QColor colour = colourOf(cells[r][c]);
            if (QTableWidgetItem *it = item(r, c); it && it->foreground().color() != colour)
                it->setForeground(colour);
        }
}

QColor ProgramGrid::CellColour(int row, int col) const {
    const QTableWidgetItem *it = cell(row, col);
    return it ? it->foreground().color() : QColor();
}

QRect ProgramGrid::CellRect(int row, int col) const {
    return visualRect(model()->index(row - 1, col));
}

int ProgramGrid::SelectedOption() const {
    for (int k = 1; k < int(Option1.size()); ++k)
        if (Option1[k] && Option1[k]->isChecked())
            return k;
    return 0;
}

void ProgramGrid::SetOption(int row, bool on) {
    if (!options_ || row < 1 || row >= int(Option1.size()))
        return;
    if (on) {
        Option1[row]->setChecked(true); // the group clears the others
        return;
    }
    // An exclusive group cannot clear its last selected button by itself.
    options_->setExclusive(false);
    Option1[row]->setChecked(false);
    options_->setExclusive(true);
}

void ProgramGrid::focusInEvent(QFocusEvent *event) {
    QTableWidget::focusInEvent(event);
    emit focusGained();
}

void ProgramGrid::scrollContentsBy(int dx, int dy) {
    QTableWidget::scrollContentsBy(dx, dy);
    emit scrolled();
}
