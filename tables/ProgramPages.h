// The three program pages. Each owns its controls; the handlers arrive with the table editing.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QWidget>
#include <array>

// Builds a named control array: element i gets the objectName "<name>_<i>".
template <typename W, size_t N> void NameArray(std::array<W *, N> &controls, const QString &name) {
    for (size_t i = 0; i < N; ++i)
        controls[i]->setObjectName(name + u'_' + QString::number(i));
}

class InternalPage : public QWidget {
    Q_OBJECT
public:
    explicit InternalPage(QWidget *parent = nullptr);
    std::array<QPushButton *, 7> Command0{}; // Run/Stop, Read, Save to supply, table buttons
    std::array<QComboBox *, 2> Combo0{};     // table name, run cycle
};

class ExternalPage : public QWidget {
    Q_OBJECT
public:
    explicit ExternalPage(QWidget *parent = nullptr);
    std::array<QPushButton *, 6> Command1{}; // Run/Stop, New, table buttons
    std::array<QComboBox *, 2> Combo1{};     // table name, run cycle
};

class PresetPage : public QWidget {
    Q_OBJECT
public:
    explicit PresetPage(QWidget *parent = nullptr);
    std::array<QPushButton *, 7> Command2{}; // Run, Read, Save to supply, table buttons
};
