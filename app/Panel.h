// The panel under the pages: measured output, regulation indicators, setpoint boxes and the
// Set/Reset/Options buttons.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

class Panel : public QFrame {
    Q_OBJECT
public:
    explicit Panel(QWidget *parent = nullptr);

    // 0 voltage, 1 current readout; 2 "C.C.", 3 "C.V." indicator; 4, 5 countdown overlays.
    std::array<QLabel *, 6> Label5{};
    std::array<QLineEdit *, 2> Text2{};      // voltage and current setpoints
    std::array<QPushButton *, 3> Command4{}; // "Set", "Reset", "Options"
    QLabel *Picture0 = nullptr;              // status; takes the focus while buttons are off

    static const QColor DarkGrey;  // &H404040: indicator off
    static const QColor Red;       // &HFF: C.C.
    static const QColor Yellow;    // &HFFFF: C.V.
    static const QColor DarkGreen; // &H8000: valid setpoint text
    static void SetTextColor(QWidget *w, const QColor &color);
    void IndicatorsOff(); // both "C.C." and "C.V." dark grey
    static QColor TextColor(const QWidget *w);
};
