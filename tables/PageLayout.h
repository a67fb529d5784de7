// The common shape of a program page: a row of boxes over the grid, the buttons on the right.
#pragma once

#include "PickBox.h"
#include "ProgramPages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace PageLayout {

inline QComboBox *NameBox(QWidget *page, bool withList) {
    auto *box = new QComboBox(page);
    PickOnly(box);
    box->setMinimumWidth(160);
    box->setMaximumWidth(320);
    if (withList)
        for (int i = 0; i <= 9; ++i)
            box->addItem(QString::number(i));
    return box;
}

// "Table:" with the name box, then the run-cycle box under its caption.
inline QHBoxLayout *NameAndCycle(QWidget *page, std::array<QComboBox *, 2> &boxes,
                                 const QString &name, const QString &cycleCaption) {
    boxes[0] = NameBox(page, false);
    boxes[1] = NameBox(page, true);
    boxes[1]->setMinimumWidth(60);
    NameArray(boxes, name);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Table:"), page));
    top->addWidget(boxes[0], 1);
    top->addWidget(new QLabel(cycleCaption, page));
    top->addWidget(boxes[1]);
    top->addStretch();
    return top;
}

// Lays out the page: `top` above the grid on the left, the named button column on the right.
template <size_t N>
void Build(ProgramPage *page, QLayout *top, QWidget *below, std::array<QPushButton *, N> &buttons,
           const QString &name, const QStringList &captions) {
    auto *row = new QHBoxLayout(page);
    auto *left = new QVBoxLayout;
    left->addLayout(top);
    auto *gridRow = new QHBoxLayout;
    gridRow->addWidget(page->FGrid);
    gridRow->addStretch();
    left->addLayout(gridRow, 1);
    if (below)
        left->addWidget(below);
    left->addStretch(0);
    auto *column = new QVBoxLayout;
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = new QPushButton(captions[int(i)], page);
        buttons[i]->setMinimumWidth(170);
        column->addWidget(buttons[i]);
    }
    column->addStretch();
    NameArray(buttons, name);
    // Tab goes as the eye does: the boxes above, the grid, the row below it, then the buttons.
    QList<QWidget *> order;
    for (int i = 0; i < top->count(); ++i)
        if (QWidget *w = top->itemAt(i)->widget(); w && (w->focusPolicy() & Qt::TabFocus))
            order << w;
    order << page->FGrid;
    if (below)
        for (QWidget *w : below->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (w->focusPolicy() & Qt::TabFocus)
                order << w;
    for (QPushButton *b : buttons)
        order << b;
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    row->addLayout(left);
    row->addSpacing(12);
    row->addLayout(column);
    row->addStretch(1); // a larger window keeps the buttons beside the grid
}

inline const QStringList TableButtons{"Open Table", "Save Table", "Delete Table", "Clear Table"};

} // namespace PageLayout
