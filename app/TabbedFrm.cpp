#include "TabbedFrm.h"

#include "Clock.h"
#include "Connection.h"
#include "CounterBox.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "HistoryWindow.h"
#include "EventHook.h"
#include "GridEditor.h"
#include "KeepAwake.h"
#include "Module1.h"
#include "Panel.h"
#include "PortDevices.h"
#include "PortSettings.h"
#include "ProgramPages.h"
#include "Recorder.h"
#include "Setpoints.h"
#include "Tables.h"
#include "Timeline.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMimeData>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <utility>

using namespace Module1;

const QStringList TabbedFrm::PageCaptions{"Internal Timed Program", "External Timed Program",
                                          "Internal Preset Memory", "Data Log"};

QString TabbedFrm::NormalTitle(const QString &pageCaption) {
    return QStringLiteral(" QVR 2.0") + QStringLiteral(" [") + pageCaption.trimmed() + u']';
}

TabbedFrm::TabbedFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, const QString &databasePath,
                     QWidget *parent)
    : QMainWindow(parent), comm1_(port), routed_(dialogs), dialogs_(routed_), clock_(clock),
      databasePath_(databasePath), pages_(db_, dialogs_, port, clock) {
    setObjectName(QStringLiteral("TabbedFrm"));
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    Tab1 = new QTabWidget(central);
    Tab1->setObjectName(QStringLiteral("Tab1"));
    editor = new GridEditor(Tab1, dialogs_, this);
    pages_.editor = editor;
    internalPage = new InternalPage(pages_, Tab1);
    externalPage = new ExternalPage(pages_, Tab1);
    presetPage = new PresetPage(pages_, Tab1);
    pages_.pages = {internalPage, externalPage, presetPage};
    editor->Attach(pages_.pages);
    pages_.Tab1 = Tab1;
    dataLogPage = new DataLogPage(db_, dialogs_, clock, Tab1);
    dataLogPage->Tab1 = Tab1;
    connect(dataLogPage->Commands->OpenRecording, &QAction::triggered, this,
            [this] { OpenRecordings(); });
    setAcceptDrops(true); // a recording dropped on the window opens beside it
    dataLogPage->HideEditor = [this] { editor->HideEditor(); };
    Tab1->addTab(internalPage, PageCaptions[0]);
    Tab1->addTab(externalPage, PageCaptions[1]);
    Tab1->addTab(presetPage, PageCaptions[2]);
    Tab1->addTab(dataLogPage, PageCaptions[3]);
    panel = new Panel(*this, port, dialogs_, clock, central);
    pages_.SetReset = {panel->Command4[0], panel->Command4[1]};
    pages_.Setpoints = panel->Text2;
    pages_.Option3 = dataLogPage->Option3;
    pages_.LinkLost = [this](const QString &description) { PortLost(description); };
    pages_.Note = [this](const QString &event) {
        NoteEvent(event);
        // A run started, stepped or ended: its page's buttons follow after this note.
        QTimer::singleShot(0, this, &TabbedFrm::SyncSupply);
    };
    supply.SetHandlers(scripts_.Bound());
    connect(&supply, &Supply::happened, this, &TabbedFrm::NoteEvent);
    pages_.Tell = [this](const QString &text) { statusBar()->showMessage(text, TellMs); };
    dataLogPage->Tell = pages_.Tell;
    dataLogPage->RecordContext = [this] { return RecordingContext(); };
    dataLogPage->PortText = [this] {
        return QStringLiteral("port %1 (%2)")
            .arg(comm1_.CommPort())
            .arg(DevicePathFor(comm1_.CommPort()));
    };
    RecordStatus = new QLabel(this);
    RecordStatus->setObjectName(QStringLiteral("RecordStatus"));
    statusBar()->addPermanentWidget(RecordStatus);
    connect(dataLogPage, &DataLogPage::recordingStatus, RecordStatus, [this](const QString &t) {
        RecordStatus->setText(t);
        RecordStatus->setVisible(!t.isEmpty()); // no empty box at the status line's end
    });
    connect(dataLogPage, &DataLogPage::recordingStatus, this, [this] {
        supply.SetRecording(dataLogPage->Rec.Active() ? dataLogPage->Rec.Path() : QString());
    });
    AwakeStatus = new QLabel(this);
    AwakeStatus->setObjectName(QStringLiteral("AwakeStatus"));
    for (QLabel *l : {RecordStatus, AwakeStatus}) {
        l->setContentsMargins(6, 0, 6, 0); // clear of the status line's dividers
        l->hide();
    }
    statusBar()->addPermanentWidget(AwakeStatus);
    awake_ = new KeepAwake(this);
    connect(awake_, &KeepAwake::heldChanged, this, [this](bool held, const QString &reason) {
        AwakeStatus->setText(held ? QString::fromLatin1(KeepAwake::HeldText) : QString());
        AwakeStatus->setToolTip(reason);
        AwakeStatus->setVisible(held);
    });
    connect(awake_, &KeepAwake::failed, this, &TabbedFrm::NoteAwakeFailure);
    connect(&supply, &Supply::recordingChanged, this, &TabbedFrm::WantAwake);
    connect(&supply, &Supply::runChanged, this, &TabbedFrm::WantAwake);
    column->addWidget(Tab1, 1);
    column->addWidget(panel);
    setCentralWidget(central);
    resize(940, 640);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(PollInterval);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    pages_.Timer1 = Timer1;
    connect(Timer1, &QTimer::timeout, this, &TabbedFrm::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &TabbedFrm::Timer2_Timer);
    ReconnectTimer = new QTimer(this);
    ReconnectTimer->setObjectName(QStringLiteral("ReconnectTimer"));
    ReconnectTimer->setInterval(ReconnectMs);
    connect(ReconnectTimer, &QTimer::timeout, this, &TabbedFrm::ReconnectTimer_Timer);
    GuardTimer = new QTimer(this);
    GuardTimer->setObjectName(QStringLiteral("GuardTimer"));
    GuardTimer->setSingleShot(true);
    connect(GuardTimer, &QTimer::timeout, this, &TabbedFrm::GuardTimer_Timer);
    connect(&supply.Guard(), &Guards::Keeper::changed, this, &TabbedFrm::GuardsChanged);
    // The file after the act: a guard's safe output never waits for the disk.
    connect(&supply.Guard(), &Guards::Keeper::changed, this, &TabbedFrm::RememberGuards,
            Qt::QueuedConnection);
    connect(panel->GuardsButton, &QPushButton::clicked, this, &TabbedFrm::ShowGuardsDialog);
    Timer2->start();                   // the live indicator runs from the start
    dataLogPage->PVCPicTimer->start(); // and so does live sampling
    connect(Tab1, &QTabWidget::currentChanged, this, &TabbedFrm::Tab1_Click);
    new EventHook(this, [this](QObject *, QEvent *e) {
        if (e->type() == QEvent::Resize)
            editor->HideEditor(); // the cell editor would float off its cell
        return false;
    });
}

TabbedFrm::~TabbedFrm() = default;

bool TabbedFrm::Form_Load() {
    // Only the number conversion of the two input boxes ends start-up; a port or a database
    // that fails just leads to the not-ready path.
    Tab1->setCurrentIndex(0);

    PollInterval = 300;
    SampleMs = 2000;
    MaxVolt = MaxCurr = 0;
    Timer1->stop();
    Connected = false;
    NotReadyMsg = BuildNotReadyMsg();

    try {
        db_.Open(databasePath_);
    } catch (const StoreError &e) {
        dialogs_.MsgBox(e.description(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        if (unloaded_)
            return false;
    }

    setWindowTitle(NormalTitle(PageCaptions[0]));
    panel->ClearReadouts();

    try {
        autoReconnect_ =
            SettingsTable::ReadRecord(db_, SettingsTable::ReconnectRecord) == QStringLiteral("1");
        // Devices assigned to port numbers in Options, before the port is opened.
        PortDevices::ClearAll();
        if (db_.TableExists(SettingsTable::Name))
            for (const QStringList &record : db_.ReadAll(SettingsTable::Name))
                if (const auto port = PortDevices::PortOfRecord(record.value(0)))
                    PortDevices::Assign(*port, record.value(1));
    } catch (const StoreError &) {
    }
    try {
        if (const auto port = SettingsTable::ReadCommPort(db_)) {
            if (comm1_.PortOpen())
                comm1_.setPortOpen(false);
            comm1_.setCommPort(*port);
            if (!comm1_.PortOpen())
                comm1_.setPortOpen(true);
            if (Connection::ProbeAtStartup(comm1_, clock_))
                LinkUp();
        }
    } catch (const std::runtime_error &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what()); // start-up goes on without a supply
    }

    if (Connected) {
        panel->SetpointsFromOutput = true;
        try {
            PollOutputState();
        } catch (const CommError &e) {
            std::fprintf(stderr, "qvr: %s\n", e.what());
        }
    } else {
        MeasVolt = MeasCurr = -1;
        panel->Text2[0]->setText(QStringLiteral("00.0V"));
        panel->Text2[1]->setText(QStringLiteral("0.00A"));
        // After each box: a signal may have closed it and shut the program down meanwhile.
        dialogs_.MsgBox(NotReadyMsg);
        if (unloaded_)
            return false;
        const auto volt =
            AskLimit(QStringLiteral("voltage"), QStringLiteral("Input max voltage value please ."),
                     QStringLiteral("00.0"), Protocol::MaxVoltField);
        if (unloaded_)
            return false;
        if (!volt)
            return EndProgram(1);
        MaxVolt = *volt;
        const auto curr =
            AskLimit(QStringLiteral("current"), QStringLiteral("Input max current value please ."),
                     QStringLiteral("0.00"), Protocol::MaxCurrField);
        if (unloaded_)
            return false;
        if (!curr)
            return EndProgram(1);
        MaxCurr = *curr;
    }

    SetUpPages();

    try {
        if (Connected)
            Connection::Announce(comm1_); // clears the receive buffer first
        else
            comm1_.ClearInBuffer();
    } catch (const CommError &) {
        // no port open: nothing to clear or announce
    }
    panel->CheckSetpoints(); // the limits are known now
    if (!Connected)
        LinkDown(); // with "Reconnect automatically", the tries start now the limits are known
    panel->ShowStatus();
    adoptRun_ = Connected;
    LoadRemote();
    LoadMetrics();
    LoadGuards(); // before the polling starts
    return true;
}

std::optional<float> TabbedFrm::AskLimit(const QString &quantity, const QString &prompt,
                                         const QString &pattern, double fieldMax) {
    for (;;) {
        const auto answer = dialogs_.InputBox(prompt, pattern);
        if (!answer || unloaded_)
            return std::nullopt;
        // The whole entry must be a number; a point or a comma may separate the decimals. A
        // limit no supply can report (negative, or beyond its three-digit field) is no usable
        // number either: setpoints under it would not fit their command line.
        bool ok = false;
        const double value = NormDecimalStr(answer->trimmed()).toDouble(&ok);
        if (ok && std::isfinite(value)) { // toDouble takes "inf" and "nan"
            const double limit = LeadingNumber(Format(value, pattern));
            if (limit >= 0 && limit <= fieldMax)
                return float(limit);
        }
        // Say why rather than end the program; Cancel still ends it.
        dialogs_.MsgBox(QStringLiteral("The maximum %1 must be a number from 0 to %2 .")
                            .arg(quantity, NumStr(fieldMax)));
        if (unloaded_)
            return std::nullopt;
    }
}

bool TabbedFrm::EndProgram(int code) {
    exitCode_ = code;
    unloaded_ = true;
    try {
        if (comm1_.PortOpen())
            comm1_.setPortOpen(false);
    } catch (const CommError &) {
    }
    db_.Close();
    return false;
}

void TabbedFrm::SetUpPages() {
    editor->HideEditor();
    editor->CellEdited = false;
    QStringList tables;
    try {
        tables = db_.TableNames(); // one pass over the catalogue fills every list
    } catch (const StoreError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what()); // start-up goes on with empty lists
    }
    for (ProgramPage *page : pages_.pages) {
        page->FillList(tables);
        page->SetUp();
    }
    dataLogPage->SetUp(tables);
}

void TabbedFrm::Form_Activate() {
    if (unloaded_)
        return;
    if (!Connected) {
        Timer1->stop();
        return;
    }
    RestartLiveLogging();
    Timer1->setInterval(PollInterval);
    Timer1->start();
    // Sampling goes on where it is: restarting it on every activation could starve it.
    if (!dataLogPage->PVCPicTimer->isActive())
        dataLogPage->PVCPicTimer->start();
    // Only while the program has no setpoints of its own: in C.C. the measured voltage is not
    // the set one, and a later "Set" would send it.
    panel->OfferReading(true);
}

void TabbedFrm::RestartLiveLogging() {
    Timeline::Restart(clock_);
}

void TabbedFrm::ChartDefaults() {
    dataLogPage->MnuDefa_Click();
}

void TabbedFrm::LiveChartFrame() {
    if (dataLogPage->Option3[0]->isChecked())
        dataLogPage->Picture1_Set_PVC();
}

void TabbedFrm::SamplingChanged() {
    dataLogPage->PVCPicTimer->start(int(SampleMs));
    if (dataLogPage->Option3[0]->isChecked())
        dataLogPage->MnuClear_Click(); // the cursors' samples went with the live store
    NoteEvent(QStringLiteral("sampling interval %1 s").arg(NumStr(SampleMs / 1000.0)));
}

void TabbedFrm::NoteEvent(const QString &event) {
    dataLogPage->Note(event);
}

void TabbedFrm::WantAwake() {
    const bool stepping = supply.Running().where == Supply::Where::External;
    awake_->Want(AwakeReason(supply.RecordingFile(),
                             stepping ? externalPage->Combo1[0]->currentText() : QString()));
    NoteAwakeFailure();
}

void TabbedFrm::NoteAwakeFailure() {
    // Once in each recording, so that whoever reads it knows why a night may have a hole.
    const QString &file = supply.RecordingFile();
    if (awake_->Failure().isEmpty() || file.isEmpty() || file == awakeFailureNotedIn_)
        return;
    awakeFailureNotedIn_ = file;
    NoteEvent(awake_->Failure());
}

void TabbedFrm::SetpointsSent(float volts, float amps) {
    pages_.RecalledMemory = 0;
    NoteEvent(Supply::SetText(volts, amps));
}

Recording::Context TabbedFrm::RecordingContext() const {
    Recording::Context c;
    c.mode = mode_;
    if (internalPage->Running())
        c.running = QStringLiteral("internal");
    else if (externalPage->Running())
        c.running = QStringLiteral("external step %1 pass %2")
                        .arg(externalPage->CurrentStep)
                        .arg(externalPage->CurrentPass);
    else if (pages_.RecalledMemory)
        c.running = QStringLiteral("preset %1").arg(pages_.RecalledMemory);
    else
        c.running = QStringLiteral("none");
    c.setVolt = Setpoints::LastSent.volt;
    c.setCurr = Setpoints::LastSent.curr;
    return c;
}

void TabbedFrm::closeEvent(QCloseEvent *event) {
    Form_Unload();
    // The recordings read beside the run close with it.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<History::HistoryWindow *>(w))
            w->close();
    event->accept();
}

void TabbedFrm::OpenRecordings(const QStringList &paths) {
    History::OpenRecordings(dialogs_, paths);
}

void TabbedFrm::dragEnterEvent(QDragEnterEvent *event) {
    if (!History::HistoryWindow::Dropped(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TabbedFrm::dropEvent(QDropEvent *event) {
    if (const QStringList paths = History::HistoryWindow::Dropped(event->mimeData());
        !paths.isEmpty()) {
        event->acceptProposedAction();
        OpenRecordings(paths);
    }
}

void TabbedFrm::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    dataLogPage->StopRecording(); // its end line, whatever the port does next
    externalPage->FinishStep();   // the half-sent step first, as the line expects
    Timer1->stop();
    Timer2->stop();
    ReconnectTimer->stop();
    GuardTimer->stop();
    dataLogPage->PVCPicTimer->stop();
    externalPage->OrthenTimer->stop(); // no step goes out after the farewell
    externalPage->Timer3->stop();
    try {
        if (internalPage->Command0[0]->text() == u"Stop" && comm1_.PortOpen())
            Connection::StopProgram(comm1_, clock_, 4);
    } catch (const CommError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what());
    }
    CurCmd = QStringLiteral("ENDS");
    try {
        if (comm1_.PortOpen()) {
            Connection::Farewell(comm1_);
            comm1_.setPortOpen(false);
        }
    } catch (const CommError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what());
    }
    RememberGuards(); // a change just made is not lost with the window
    db_.Close();
}

void TabbedFrm::ShowPageTitle() {
    if (internalPage->Command0[0]->text() == u"Stop")
        setWindowTitle(QStringLiteral(" QVR 2.0") + QStringLiteral(" [Program Table") +
                       QStringLiteral(" Running]"));
    else if (externalPage->Command1[0]->text() == u"Stop")
        setWindowTitle(QStringLiteral(" QVR 2.0") + QStringLiteral(" [User Table") +
                       QStringLiteral(" (") + externalPage->Combo1[0]->currentText() +
                       QStringLiteral(") Running]"));
    else
        setWindowTitle(NormalTitle(PageCaptions.value(Tab1->currentIndex())));
}

void TabbedFrm::Tab1_Click(int index) {
    editor->HideEditor();
    editor->CellEdited = false;
    ShowPageTitle();
    if (index == 1) {
        // A current cell to type into; while the program runs, the editor stays over it hidden.
        ProgramGrid *grid = externalPage->FGrid;
        if (grid->Row() < 1)
            editor->Quietly([grid] { grid->SetCurrent(1, 1); });
        if (externalPage->Running())
            editor->ReplaceEditor(1);
    }
    if (index == 3) {
        Timer2->setInterval(500);
        Timer2->start();
        dataLogPage->Shown();
        panel->Picture0->setFocus();
    }
}

void TabbedFrm::Timer1_Timer() {
    if (CurCmd == u"SRST") {
        panel->ResetCountdown();
        return;
    }
    // A GETD that waits out its 0.2 s must not hold back the next external step.
    if (externalPage->StepDueWithin(250))
        return;
    try {
        PollOutputState();
    } catch (const CommError &e) {
        supply.CountPoll(false);
        PortLost(e.description());
    }
}

void TabbedFrm::Timer2_Timer() {
    QLabel *light = dataLogPage->Light1;
    if (!Connected)
        light->hide();
    else if (dataLogPage->Option3[0]->isChecked())
        light->setHidden(!light->isHidden());
    else
        light->show();
}

void TabbedFrm::PollOutputState() {
    // Whichever way this ends, the core hears what the poll found.
    const struct Synced {
        TabbedFrm &w;
        ~Synced() { w.SyncSupply(); }
    } synced{*this};
    const Protocol::Reading r = Connection::Poll(comm1_, clock_);
    supply.CountPoll(r.volt != -1);
    pollMode_.clear();
    panel->Counters->Take(clock_.MonotonicMs(), r.volt == -1 ? -1.0 : double(MeasVolt),
                          r.volt == -1 ? -1.0 : double(MeasCurr));
    if (r.volt == -1) {
        panel->Label5[0]->clear();
        panel->Label5[1]->clear();
    } else {
        panel->Label5[0]->setText(Format(MeasVolt, QStringLiteral("00.0")));
        panel->Label5[1]->setText(Format(MeasCurr, QStringLiteral("0.00")));
        panel->OfferReading(true);
    }
    std::optional<bool> constantCurrent;
    if (r.mode) {
        if ((*r.mode == '0' || *r.mode == '1') && internalPage->Running())
            internalPage->BackToIdle(1); // the program ended by itself: one STOP, answer discarded
        if (std::exchange(adoptRun_, false) && (*r.mode == '2' || *r.mode == '3') &&
            !internalPage->Running() && !externalPage->Running()) {
            internalPage->AdoptRun();
            if (Tab1->currentIndex() != 0)
                ShowPageTitle();
        }
        if (const auto mode = Protocol::DecodeMode(*r.mode)) {
            constantCurrent = mode->constantCurrent;
            mode_ = mode->constantCurrent ? QStringLiteral("CC") : QStringLiteral("CV");
            pollMode_ = mode_;
            Panel::SetTextColor(panel->Label5[2],
                                mode->constantCurrent ? Panel::Red : Panel::DarkGrey);
            Panel::SetTextColor(panel->Label5[3],
                                mode->constantCurrent ? Panel::DarkGrey : Panel::Yellow);
        }
    }
    FeedGuards(r, constantCurrent);
}
