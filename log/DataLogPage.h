// The Data Log page: live or stored chart, with the live indicator beside the Now/Log choice.
#pragma once

#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <array>

class DataLogPage : public QWidget {
    Q_OBJECT
public:
    explicit DataLogPage(QWidget *parent = nullptr);
    std::array<QRadioButton *, 2> Option3{}; // "     Now" live, "     Log" stored
    QLabel *Light1 = nullptr;                // blinks while recording live
};
