// The panel's charge and energy counters with the time they cover and their "Zero" button.
#pragma once

#include "EnergyMeter.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

class CounterBox : public QFrame {
    Q_OBJECT
public:
    explicit CounterBox(QWidget *parent = nullptr);
    EnergyMeter Meter;
    // "Charge  1.000 Ah\nEnergy  12.00 Wh\nOver  12:05", and "\nBlind  ..." when there is any.
    static QString FiguresText(double ah, double wh, double coveredS, double blindS);
    QLabel *Figures = nullptr;
    QPushButton *ZeroButton = nullptr;

public slots:
    void Take(qint64 nowMs, double volt, double curr); // every poll, with or without one
    void ZeroButton_Click();

private:
    void ShowFigures();
    qint64 shownMs_ = 0; // monotonic: when the figures were last shown
};
