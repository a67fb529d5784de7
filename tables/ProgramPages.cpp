#include "ProgramPages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The page's button column on the right, the rest of the page to its left.
template <size_t N>
void buildButtons(QWidget *page, std::array<QPushButton *, N> &buttons, const QString &name,
                  const QStringList &captions, QLayout *content) {
    auto *row = new QHBoxLayout(page);
    auto *column = new QVBoxLayout;
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = new QPushButton(captions[int(i)], page);
        buttons[i]->setMinimumWidth(170);
        column->addWidget(buttons[i]);
    }
    column->addStretch();
    NameArray(buttons, name);
    row->addLayout(content, 1);
    row->addLayout(column);
}

// The table-name box and the run-cycle box across the top of a program page.
QGridLayout *nameAndCycleRow(QWidget *page, std::array<QComboBox *, 2> &boxes, const QString &name,
                             const QString &cycleCaption) {
    auto *content = new QGridLayout;
    for (QComboBox *&box : boxes) {
        box = new QComboBox(page);
        box->setEditable(true);
    }
    NameArray(boxes, name);
    content->addWidget(new QLabel(QStringLiteral("Table:"), page), 0, 0);
    content->addWidget(boxes[0], 0, 1);
    content->addWidget(new QLabel(cycleCaption, page), 0, 2);
    content->addWidget(boxes[1], 0, 3);
    content->setRowStretch(1, 1);
    content->setColumnStretch(1, 1);
    return content;
}

const QStringList TableButtons{"Open Table", "Save Table", "Delete Table", "Clear Table"};

} // namespace

InternalPage::InternalPage(QWidget *parent) : QWidget(parent) {
    auto *content = nameAndCycleRow(this, Combo0, QStringLiteral("Combo0"),
                                    QStringLiteral(" Run  cycle:  ( 0 - 9 )"));
    buildButtons(this, Command0, QStringLiteral("Command0"),
                 QStringList{"Run", "Read from power supply", "Save to power supply"} +
                     TableButtons,
                 content);
}

ExternalPage::ExternalPage(QWidget *parent) : QWidget(parent) {
    auto *content =
        nameAndCycleRow(this, Combo1, QStringLiteral("Combo1"), QStringLiteral(" Run  cycle:"));
    buildButtons(this, Command1, QStringLiteral("Command1"),
                 QStringList{"Run", "New"} + TableButtons, content);
}

PresetPage::PresetPage(QWidget *parent) : QWidget(parent) {
    auto *content = new QVBoxLayout;
    content->addStretch();
    buildButtons(this, Command2, QStringLiteral("Command2"),
                 QStringList{"Run", "Read from power supply", "Save to power supply"} +
                     TableButtons,
                 content);
}
