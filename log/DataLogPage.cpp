#include "DataLogPage.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

DataLogPage::DataLogPage(QWidget *parent) : QWidget(parent) {
    auto *column = new QVBoxLayout(this);
    auto *choice = new QHBoxLayout;
    Option3[0] = new QRadioButton(QStringLiteral("     Now"), this);
    Option3[1] = new QRadioButton(QStringLiteral("     Log"), this);
    for (int i = 0; i < 2; ++i)
        Option3[i]->setObjectName(QStringLiteral("Option3_%1").arg(i));
    Option3[0]->setChecked(true);
    Option3[1]->setEnabled(false); // until a log has been opened
    Light1 = new QLabel(this);
    Light1->setObjectName(QStringLiteral("Light1"));
    Light1->setFixedSize(14, 14);
    Light1->setStyleSheet(QStringLiteral("background: #20c020; border-radius: 7px;"));
    Light1->setToolTip(QStringLiteral("Recording live"));
    Light1->hide();
    choice->addWidget(Light1);
    choice->addWidget(Option3[0]);
    choice->addWidget(Option3[1]);
    choice->addStretch();
    column->addLayout(choice);
    column->addStretch();
}
