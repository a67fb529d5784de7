// The panel under the pages: measured output, regulation indicators, setpoint boxes and the
// Set/Reset/Options buttons.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

class Clock;
class CounterBox;
class Comm1;
class Dialogs;
class TabbedFrm;

class Panel : public QFrame {
    Q_OBJECT
public:
    Panel(TabbedFrm &main, Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);

    // 0 voltage, 1 current readout; 2 "C.C.", 3 "C.V." indicator; 4, 5 countdown overlays.
    std::array<QLabel *, 6> Label5{};
    std::array<QLineEdit *, 2> Text2{};      // voltage and current setpoints
    std::array<QPushButton *, 3> Command4{}; // "Set", "Reset", "Options"
    QLabel *Picture0 = nullptr;              // status; takes the focus while buttons are off
    CounterBox *Counters = nullptr;          // charge and energy delivered
    QLabel *RemoteLabel = nullptr;           // "Remote: port 5025, 1 script" while it is on
    void ShowRemote(const QString &status);
    QPushButton *GuardsButton = nullptr; // "Guards..." under "Options"
    QLabel *GuardLine = nullptr;         // what the guards watch, or what acted; hidden when off
    void ShowGuards(const QString &line);

    static const QColor DarkGrey;  // &H404040: indicator off
    static const QColor Red;       // &HFF: C.C.
    static const QColor Yellow;    // &HFFFF: C.V.
    static const QColor DarkGreen; // &H8000: valid setpoint text
    static void SetTextColor(QWidget *w, const QColor &color);
    void IndicatorsOff(); // both "C.C." and "C.V." dark grey
    static QColor TextColor(const QWidget *w);
    // Readouts and overlays empty, overlays hidden, indicators off.
    void ClearReadouts();
    void ShowStatus(); // port number and connection in Picture0

    // Set while the program has no setpoints of its own (start-up, reconnect, the end of a
    // reset): the first valid reading fills the boxes, then never again until the next
    // connection. Typing or "Set" makes the boxes the program's own.
    bool SetpointsFromOutput = false;
    // The operator typed into the boxes or pressed "Set": an automatic reconnect keeps them.
    bool OwnSetpoints = false;
    // Fills the boxes from MeasVolt/MeasCurr when that is still wanted and the reading is
    // valid (a -1 reading never becomes a setpoint text).
    void OfferReading(bool unitLetters);

public slots:
    void Command4_Click(int index);
    // Setpoint boxes (index 0 voltage, 1 current) and "Set".
    void Text2_GotFocus(int index);
    void Text2_KeyUp(int index);
    void Text2_Enter(int index);
    void Text2_LostFocus(int index);
    void SetOutput();
    // Colours both boxes by validity and enables "Set" only while both entries are valid; runs
    // whenever a box's text or the limits change.
    void CheckSetpoints();
    // One step of the reset countdown (Timer1 while CurCmd is "SRST").
    void ResetCountdown();

public:
    // "Reset" when not connected: open the port, find the supply, poll. `quiet` is the automatic
    // reconnect's try: one GMAX, no message and nothing disabled, the limits kept when nobody
    // answers. Returns whether the supply answered.
    bool Reconnect(bool quiet = false);

private:
    // Focus, Enter and key releases of the setpoint boxes; true swallows the event.
    bool SetpointEvent(QObject *watched, QEvent *event);
    void ResetSupply();
    void ShowOptions();
    bool ColourSetpoints(); // returns whether both entries are valid
    // The setpoint check's message for box `index`, in the Enter or the leaving wording.
    void SayRefused(int index, bool onEnter);
    // Runs one panel command under its error trap: the error's description in a box, the
    // button and the pages usable again; a port that failed under a connection is a lost link.
    template <typename F> void UnderTrap(int index, F &&command);

    TabbedFrm &main_;
    Comm1 &comm1_;
    Dialogs &dialogs_;
    Clock &clock_;
    int ResetCount = -1;           // -1 = countdown about to start, then 0..10
    qint64 ResetStartMs = 0;       // monotonic clock at the start of the countdown
    bool setpointMessage_ = false; // our own box is up: its focus change is not the operator's
    // The text a refusal (Enter or "Set") left in a box after its message: leaving the box
    // unchanged does not say it again.
    std::array<QString, 2> refused_;
};
