// The three program pages. Each owns its grid, its boxes and buttons and their handlers; the
// table flows they share (open, save, delete, clear, a pick from the list) live in ProgramPage.
#pragma once

#include "NameArray.h"
#include "ProgramGrid.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class Clock;
class Comm1;
class Database;
class Dialogs;
class GridEditor;
class ProgramPage;
class QTabWidget;
class QTimer;

// The enabled states of the page and panel buttons (and the Data Log choice), kept while a
// program runs.
struct EnableStates {
    std::array<bool, 7> command0{};
    std::array<bool, 6> command1{};
    std::array<bool, 7> command2{};
    std::array<bool, 2> command4{};
    std::array<bool, 2> option3{};
};

// What the pages share, owned by the main window.
struct PageContext {
    PageContext(Database &database, Dialogs &dlg, Comm1 &comm, Clock &clk)
        : db(database), dialogs(dlg), port(comm), clock(clk) {}
    Database &db;
    Dialogs &dialogs;
    Comm1 &port;
    Clock &clock;
    GridEditor *editor = nullptr;
    QTabWidget *Tab1 = nullptr;
    QTimer *Timer1 = nullptr;                // GETD polling: off during every sequence
    std::array<ProgramPage *, 3> pages{};    // internal, external, preset
    std::array<QPushButton *, 2> SetReset{}; // the panel's "Set" and "Reset"
    std::array<QLineEdit *, 2> Setpoints{};  // the panel's setpoint boxes
    std::array<QRadioButton *, 2> Option3{}; // the Data Log page's "Now"/"Log"
    EnableStates saved;
    // The port failed under a page's exchange: the main window ends any run, shows the one
    // message and leaves "Reset" to reconnect.
    std::function<void(const QString &description)> LinkLost;
    // An event for the recording, when one runs (a program started, a step, its end).
    std::function<void(const QString &event)> Note = [](const QString &) {};
    int RecalledMemory = 0; // the preset memory last recalled, until a Set or a program run
    // What just went well, for the status line a few seconds (failures keep their boxes).
    std::function<void(const QString &text)> Tell = [](const QString &) {};

    bool timedProgramRunning() const; // the internal or the external Run shows "Stop"
    void SaveEnableStates();
    void RestoreEnableStates();
    // The page and panel controls a run locks, and back.
    void LockSetpoints(bool locked);
    // The main window's title in its normal and running forms.
    void ShowTitle(const QString &tail = QString());
};

class ProgramPage : public QWidget {
    Q_OBJECT
public:
    ProgramPage(int index, PageContext &context, QWidget *parent);

    const int Index;
    ProgramGrid *FGrid = nullptr;
    virtual QComboBox *NameBox() const = 0;
    virtual QPushButton *RunButton() const { return nullptr; }
    // Whether the page's run-cycle box lets Run be enabled at all.
    virtual bool RunCycleOk() const { return true; }
    bool Running() const;
    // Run may be enabled, and a run may start, only where the program can run: the grid's run
    // rule, a valid run cycle and no program running on another page.
    bool RunPossible() const;
    // Run enabled when `on` and the program can run, disabled otherwise; a running page's Stop
    // is left as it is.
    void EnableRun(bool on);
    QString Prefix() const; // "A_", "B_", "C_"

    // Start-up: zero grid, name "Untitle", the page's first button states.
    virtual void SetUp() = 0;
    // The name list from the catalogue's table names.
    void FillList(const QStringList &tableNames);
    // Loads the table named in the name box (a pick from the list); throws StoreError.
    void ReLoadTB();
    // Sets the name box's text and runs the page's name-box change rule, also when the text
    // stays the same (Qt signals only a change).
    void SetName(const QString &text);
    // A key was released in the editor over this page's grid: the buttons typing enables.
    virtual void CellTyped() = 0;
    // The external grid grew to `steps` steps.
    virtual void RowsChanged(int steps) { Q_UNUSED(steps); }

protected:
    // The page's table buttons: 0 Open, 1 Save, 2 Delete, 3 Clear.
    virtual QPushButton *TableButton(int k) const = 0;
    // The change rule of the page's name box; the internal page has none.
    virtual void NameChanged() {}
    // The page's button states after ReLoadTB has filled the grid.
    virtual void ReloadStates() = 0;
    // A pick from the name list: the editor hidden, the table loaded under the error trap.
    // False when the box is empty or the table could not be read.
    bool PickFromList();
    // Before a supply button: a connected supply, and no program running on another page
    // (the window title is then the message).
    bool PreChecks(bool otherProgramRuns);
    enum class Opened { EmptyName, NotFound, Found };
    // The flows of the table buttons; page-specific button states stay with the callers.
    Opened OpenTable();
    bool SaveTable(const QString &emptyNameMessage);
    bool DeleteTable();
    void ClearTable(); // grid zeroed, name box emptied (the change rule runs) and "Untitle"
    // Grid rows <-> stored records; the timed pages store columns 1-4 of every step row.
    virtual void ShowRecords(const QList<QStringList> &records, bool formatted) = 0;
    virtual QList<QStringList> Records() const;
    // Runs one button's flow under its error trap: the engine's description in a box; a port
    // that failed goes to the main window as a lost link.
    void Trapped(const std::function<void()> &flow);
    // Before a page button: the cell being edited passes its check first where the button reads
    // the grid (false: refused, the editor keeps the focus); is dropped unchecked where the button
    // empties the grid; is checked on its way out for every other button.
    enum class Grid { Read, Emptied, Other };
    bool LeaveEditor(Grid use);
    // A focus-out that is the operator leaving a box, not its own list or a box of ours opening.
    static bool OperatorLeft(const QEvent *focusOut);
    QString TableName() const;
    void RefillList();
    void FocusName();

    PageContext &ctx_;
};

class InternalPage : public ProgramPage {
    Q_OBJECT
public:
    InternalPage(PageContext &context, QWidget *parent = nullptr);
    std::array<QPushButton *, 7> Command0{}; // Run/Stop, Read, Save to supply, table buttons
    std::array<QComboBox *, 2> Combo0{};     // table name, run cycle
    QComboBox *NameBox() const override { return Combo0[0]; }
    QPushButton *RunButton() const override { return Command0[0]; }
    bool RunCycleOk() const override { return CycleValid(); }
    void SetUp() override;
    void CellTyped() override;

    // The running program is over: title, caption, pages, boxes and grid back, the saved button
    // states given back, then a STOP of up to `stopAttempts` tries (0: nothing is sent).
    void BackToIdle(int stopAttempts);
    // A program found running in the supply after a (re)connect: the page shows it as running,
    // so that Stop can end it; nothing is sent.
    void AdoptRun();

public slots:
    void Command0_Click(int index);
    void Combo0_Click(int index);
    void Combo0_KeyUp(int index, int key);
    void Combo0_GotFocus(int index);
    void Combo0_LostFocus(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void ShowRecords(const QList<QStringList> &records, bool formatted) override;
    QPushButton *TableButton(int k) const override { return Command0[size_t(3 + k)]; }
    void ReloadStates() override;

private:
    void ReadProgram();
    // The grid's steps as PROP lines; throws the operator's message when one does not fit.
    QList<QByteArray> StepLines() const;
    // Writes them; returns the steps the supply did not acknowledge.
    QList<int> WriteProgram(const QList<QByteArray> &lines);
    void RunProgram();
    void EnterRunState();    // title, caption, saved states, locks
    bool CycleValid() const; // one digit 0-9, what RUNP carries
};

class ExternalPage : public ProgramPage {
    Q_OBJECT
public:
    ExternalPage(PageContext &context, QWidget *parent = nullptr);
    std::array<QPushButton *, 6> Command1{}; // Run/Stop, New, table buttons
    std::array<QComboBox *, 2> Combo1{};     // table name, run cycle
    QLineEdit *Text1 = nullptr;              // "No. of Rows:"
    std::array<QPushButton *, 2> Command3{}; // row count up, down
    QComboBox *NameBox() const override { return Combo1[0]; }
    QPushButton *RunButton() const override { return Command1[0]; }
    bool RunCycleOk() const override;
    void SetUp() override;
    void CellTyped() override;
    void RowsChanged(int steps) override;

public slots:
    void Command1_Click(int index);
    void Combo1_Click(int index);
    void Combo1_Change(int index);
    void Command3_Click(int index);
    void Text1_GotFocus();
    void Text1_KeyUp(int key);
    void NewTable();                // "New": a zero grid of the size in Text1
    void Combo1_Changed(int index); // the run-cycle box: a text past 8 characters becomes "0"
    void OrthenTimer_Timer();       // the next step: its voltage
    // The step's current, when its voltage went out. Runs from the event loop right after the
    // voltage, and before anything else that uses the port, so the line sees VOLT then CURR.
    void FinishStep();
    // A step is due sooner than a poll would take: the poll waits, so the step goes on time.
    bool StepDueWithin(qint64 ms) const;
    void Timer3_Timer(); // a minute of a step longer than one minute
    // End of run (`stopped` false) or Stop: the page, the buttons and the title back.
    void EndRun(bool stopped);

public:
    QTimer *OrthenTimer = nullptr;
    QTimer *Timer3 = nullptr;
    QFrame *Picture11 = nullptr; // progress track
    QLabel *Label11 = nullptr;   // the marker sliding along it
    int StepCount = 0, CurrentStep = 0, CurrentPass = 0;
    qint64 TotalMs = 0;
    qint64 NextDueMs = 0;             // monotonic: when the next step is due
    std::optional<float> PendingCurr; // the current of a step whose voltage went out

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void ShowRecords(const QList<QStringList> &records, bool formatted) override;
    QPushButton *TableButton(int k) const override { return Command1[size_t(2 + k)]; }
    void ReloadStates() override;
    void NameChanged() override { Combo1_Change(0); }

private:
    void SetSteps(int steps); // rows, widths and Text1
    void StartRun();
    void ArmNextStep(); // the wait until NextDueMs
    // The progress marker: the highlight colour, blue while an endless run goes on.
    void MarkerColour(const QColor &colour);
};

class PresetPage : public ProgramPage {
    Q_OBJECT
public:
    PresetPage(PageContext &context, QWidget *parent = nullptr);
    std::array<QPushButton *, 7> Command2{}; // Run, Read, Save to supply, table buttons
    QComboBox *Combo2 = nullptr;             // table name
    QComboBox *NameBox() const override { return Combo2; }
    void SetUp() override;
    void CellTyped() override;

public slots:
    void Command2_Click(int index);
    void Combo2_Click();
    void Combo2_Change();
    void Option1_Click(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void ShowRecords(const QList<QStringList> &records, bool formatted) override;
    QList<QStringList> Records() const override;
    QPushButton *TableButton(int k) const override { return Command2[size_t(3 + k)]; }
    void ReloadStates() override;
    void NameChanged() override { Combo2_Change(); }

private:
    bool PortReady(); // "Communications no ready ." when the port is closed
    // Memory k's voltage and current, read with or without the comma conversion.
    std::pair<float, float> Memory(int k, bool commaConversion) const;
    void ReadMemories();
    void WriteMemories();
    void ApplyMemory(); // the selected row: PROM then RUNM
};
