// The Data Log page's side panel: the Now/Log choice with the live indicator, and the log name
// and the six scale fields. It turns the operator's keys and picks into the page's events; the
// rules of the fields are ChartScale's.
#pragma once

#include "ChartScale.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <array>

class QGridLayout;

class ScalePanel : public QFrame {
    Q_OBJECT
public:
    explicit ScalePanel(QWidget *parent = nullptr);

    std::array<QRadioButton *, 2> Option3{}; // "     Now" live, "     Log" stored
    QLabel *Light1 = nullptr;                // blinks while recording live
    std::array<QComboBox *, ChartScale::FieldCount> Combo3{};

    // A part shown under the fields, across the panel.
    void AddBelow(QWidget *part);

signals:
    void choiceClicked(int index); // Option3(index) became the choice
    void lightClicked();
    void keyUp(int index, int keyCode); // a key released in a field, with its key code
    void picked(int index);             // an entry picked from a field's list
    void nameChanged();                 // the log name's text

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QGridLayout *grid_ = nullptr;
};
