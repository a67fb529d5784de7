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

const QStringList TableButtons{"Open Table", "Save Table", "Delete Table", "Clear Table"};

} // namespace

InternalPage::InternalPage(QWidget *parent) : QWidget(parent) {
    auto *content = new QGridLayout;
    Combo0[0] = new QComboBox(this);
    Combo0[1] = new QComboBox(this);
    for (QComboBox *box : Combo0)
        box->setEditable(true);
    NameArray(Combo0, QStringLiteral("Combo0"));
    content->addWidget(new QLabel(QStringLiteral("Table:"), this), 0, 0);
    content->addWidget(Combo0[0], 0, 1);
    content->addWidget(new QLabel(QStringLiteral(" Run  cycle:  ( 0 - 9 )"), this), 0, 2);
    content->addWidget(Combo0[1], 0, 3);
    content->setRowStretch(1, 1);
    content->setColumnStretch(1, 1);
    buildButtons(this, Command0, QStringLiteral("Command0"),
                 QStringList{"Run", "Read from power supply", "Save to power supply"} +
                     TableButtons,
                 content);
}

ExternalPage::ExternalPage(QWidget *parent) : QWidget(parent) {
    auto *content = new QGridLayout;
    Combo1[0] = new QComboBox(this);
    Combo1[1] = new QComboBox(this);
    for (QComboBox *box : Combo1)
        box->setEditable(true);
    NameArray(Combo1, QStringLiteral("Combo1"));
    content->addWidget(new QLabel(QStringLiteral("Table:"), this), 0, 0);
    content->addWidget(Combo1[0], 0, 1);
    content->addWidget(new QLabel(QStringLiteral(" Run  cycle:"), this), 0, 2);
    content->addWidget(Combo1[1], 0, 3);
    content->setRowStretch(1, 1);
    content->setColumnStretch(1, 1);
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
