// Guards over an unattended run, as the window carries them out: fed by every poll, ending the
// run through the pages' own Stop paths and the panel's setpoint lines, and remembered in the
// settings table so that a restart watches on.
#include "Comm1.h"
#include "Connection.h"
#include "CounterBox.h"
#include "DataLogPage.h"
#include "GuardsDialog.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramPages.h"
#include "Setpoints.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QMessageBox>
#include <QTimer>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>
#include <limits>

using namespace Module1;

namespace {

// A box that holds nothing up: the run is already safe when it shows, and nobody may be there.
void ShowBox(QPointer<QMessageBox> &box, QWidget *parent, const QString &text, bool trip) {
    if (!box) {
        box = new QMessageBox(parent);
        box->setObjectName(QStringLiteral("GuardBox"));
        box->setWindowTitle(QStringLiteral("Guards"));
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setStandardButtons(QMessageBox::Ok);
    }
    box->setIcon(trip ? QMessageBox::Warning : QMessageBox::Information);
    box->setText(text);
    box->show();
    box->raise();
}

// The "no reading" guard's deadline, `due` in monotonic seconds; none stops the timer.
void StartDeadline(QTimer *timer, std::optional<double> due, double nowS) {
    if (due)
        timer->start(int(std::clamp((*due - nowS) * 1000 + 1, 0.0, 1e9)));
    else
        timer->stop();
}

} // namespace

QString TabbedFrm::ArmGuards(const Guards::Plan &plan) {
    // Without a setpoint sent yet the set current is not known, and no check can rest on it.
    const double setCurr =
        Setpoints::LastSent.curr.value_or(std::numeric_limits<float>::max());
    if (!Setpoints::VoltValid(float(plan.safeVolt)) || !Setpoints::CurrValid(float(plan.safeCurr)))
        return QStringLiteral("The output a guard leaves, %1 and %2, is no setpoint the supply "
                              "takes.")
            .arg(Guards::Volts(plan.safeVolt), Guards::Amps(plan.safeCurr));
    const QString why =
        supply.Guard().Arm(plan, clock_.MonotonicMs() / 1000.0, MaxVolt, MaxCurr, setCurr);
    if (why.isEmpty())
        NoteEvent(QStringLiteral("guards armed: ") + Guards::Keeper::Summary(plan.conditions));
    return why;
}

void TabbedFrm::FeedGuards(const Protocol::Reading &r, std::optional<bool> constantCurrent) {
    if (guardRetry_ && r.volt >= 0)
        RetrySafeOutput();
    Guards::Keeper &guard = supply.Guard();
    if (guard.Now() != Guards::State::Armed)
        return;
    Guards::Reading g;
    g.atS = clock_.MonotonicMs() / 1000.0;
    if (r.volt >= 0 && r.curr >= 0 && Guards::Plausible(r.volt, r.curr, MaxVolt, MaxCurr)) {
        g.volt = r.volt;
        g.curr = r.curr;
        g.constantCurrent = constantCurrent;
    }
    g.setVolt = Setpoints::LastSent.volt.value_or(0);
    g.setCurr = Setpoints::LastSent.curr.value_or(0);
    g.ah = panel->Counters->Meter.Ah();
    g.wh = panel->Counters->Meter.Wh();
    if (const auto verdict = guard.Feed(g))
        GuardActs(*verdict);
    else
        StartDeadline(GuardTimer, guard.NextTickS(), g.atS);
}

void TabbedFrm::GuardActs(const Guards::Verdict &verdict) {
    const Guards::Plan plan = supply.Guard().Current();
    QStringList done;
    const bool stoppingInternal = internalPage->Running();
    // The operator's Stop path, so that buttons and title come back; a stop the page would
    // not make (its box is said to nobody) still ends the run here.
    if (internalPage->Running() || externalPage->Running()) {
        done << (internalPage->Running() ? QStringLiteral("The internal program was stopped.")
                                         : QStringLiteral("The external program was stopped."));
        scripts_.StopRun();
        try {
            if (internalPage->Running())
                internalPage->BackToIdle(4);
        } catch (const CommError &) {
            // the safe output below meets the same port and says so
        }
        if (externalPage->Running()) {
            externalPage->FinishStep();
            externalPage->EndRun(true);
        }
    }
    const QString safe = SendSafeOutput(plan);
    if (safe.isEmpty()) {
        done << SafeText(plan);
    } else {
        // The port failed under the act: a program may still run in the supply, at its own
        // setpoints. Both go out as soon as it answers again.
        guardRetry_ =
            GuardRetry{verdict.words, stoppingInternal, verdict.kind == Guards::Kind::Trip};
        done << QStringLiteral("The output could not be set (%1); QVR sets it as soon as the "
                               "supply answers again.")
                    .arg(safe);
    }
    NoteEvent(verdict.words);
    statusBar()->showMessage(verdict.words); // stays until the next message
    if (plan.stopRecording && dataLogPage->Rec.Active()) {
        dataLogPage->StopRecording();
        done << QStringLiteral("The recording was stopped.");
    }
    std::fprintf(stderr, "qvr: %s\n", qPrintable(verdict.words));
    ShowBox(GuardBox, this, verdict.words + QStringLiteral("\n\n") + done.join(u' '),
            verdict.kind == Guards::Kind::Trip);
}

QString TabbedFrm::SafeText(const Guards::Plan &plan) {
    return QStringLiteral("The output was set to %1 V and %2 A.")
        .arg(Format(plan.safeVolt, QStringLiteral("0.0")),
             Format(plan.safeCurr, QStringLiteral("0.00")));
}

QString TabbedFrm::SendSafeOutput(const Guards::Plan &plan) {
    Supply::Result sent = scripts_.SetBox(0, float(plan.safeVolt));
    if (sent.ok())
        sent = scripts_.SetBox(1, float(plan.safeCurr));
    if (!sent.ok())
        return sent.text;
    NoteEvent(QStringLiteral("guard: ") +
              Supply::SetText(float(plan.safeVolt), float(plan.safeCurr)));
    return {};
}

void TabbedFrm::RetrySafeOutput() {
    const GuardRetry retry = *guardRetry_;
    guardRetry_.reset();
    if (retry.stopInternal) {
        guardRetry_ = retry; // a port that fails again (the poll's handler hears it) keeps it waiting
        Connection::StopProgram(comm1_, clock_, 4);
        guardRetry_.reset();
    }
    const Guards::Plan &plan = supply.Guard().Current();
    if (const QString failed = SendSafeOutput(plan); !failed.isEmpty()) {
        guardRetry_ = GuardRetry{retry.words, false, retry.trip};
        return;
    }
    const QString said = retry.words + QStringLiteral(": the supply answers again. ") +
                         SafeText(plan);
    NoteEvent(said);
    statusBar()->showMessage(said);
    ShowBox(GuardBox, this,
            retry.words + QStringLiteral("\n\nThe supply answers again. ") + SafeText(plan),
            retry.trip);
}

void TabbedFrm::GuardTimer_Timer() {
    Guards::Keeper &guard = supply.Guard();
    const bool waited = guard.Pending();
    guard.Tick(clock_.MonotonicMs() / 1000.0);
    if (!waited && guard.Pending()) {
        NoteEvent(guard.Line());
        statusBar()->showMessage(guard.Line());
    } else {
        StartDeadline(GuardTimer, guard.NextTickS(), clock_.MonotonicMs() / 1000.0);
    }
}

void TabbedFrm::RememberGuards() {
    if (!db_.IsOpen())
        return;
    // Only what changed goes to the file: a box typed into changes one record.
    for (const auto &[name, value] : Guards::ToRecords(supply.Guard().Current())) {
        if (guardRecords_.value(name) == value)
            continue;
        try {
            SettingsTable::RememberRecord(db_, name, value);
            guardRecords_[name] = value;
        } catch (const StoreError &e) {
            std::fprintf(stderr, "qvr: %s\n", e.what()); // they watch for this session
            break;
        }
    }
}

void TabbedFrm::GuardsChanged() {
    Guards::Keeper &guard = supply.Guard();
    panel->ShowGuards(guard.Line());
    StartDeadline(GuardTimer, guard.NextTickS(), clock_.MonotonicMs() / 1000.0);
}

void TabbedFrm::LoadGuards() {
    std::optional<Guards::Plan> plan;
    try {
        // The settings table read once, not once for each record.
        QHash<QString, QString> stored;
        if (db_.TableExists(SettingsTable::Name))
            for (const QStringList &record : db_.ReadAll(SettingsTable::Name))
                stored.insert(record.value(0), record.value(1));
        plan = Guards::FromRecords([&](const QString &name) -> std::optional<QString> {
            const auto it = stored.constFind(name);
            if (it == stored.constEnd())
                return std::nullopt;
            guardRecords_[name] = *it;
            return *it;
        });
        if (!plan && guardRecords_.contains(Guards::MainRecord)) {
            std::fprintf(stderr, "qvr: the guards' records cannot be read; no guard watches\n");
            guardRecords_.clear(); // written whole again at the next change
        }
    } catch (const StoreError &) {
    }
    if (!plan)
        return;
    if (!plan->armed) {
        supply.Guard().Keep(*plan);
        return;
    }
    // Said before polling starts, in a box that does not hold the polling up: nobody may be
    // there after a crash in the night.
    const QString why = ArmGuards(*plan);
    QString said;
    if (why.isEmpty()) {
        said = QStringLiteral("Guards were armed when QVR last ran, and watch again from now: "
                              "%1. Time, charge and energy count from now.")
                   .arg(Guards::Keeper::Summary(plan->conditions));
    } else {
        Guards::Plan kept = *plan;
        kept.armed = false;
        supply.Guard().Keep(kept);
        said = QStringLiteral("Guards were armed when QVR last ran, but cannot watch now: ") + why;
    }
    std::fprintf(stderr, "qvr: %s\n", qPrintable(said));
    statusBar()->showMessage(said);
    ShowBox(GuardBox, this, said, !why.isEmpty());
}

void TabbedFrm::ShowGuardsDialog() {
    if (!guardsDialog) {
        guardsDialog = new GuardsDialog(
            supply.Guard(),
            [this](const Guards::Plan &plan) {
                const QString why = ArmGuards(plan);
                if (!why.isEmpty())
                    dialogs_.MsgBox(why, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
                return why;
            },
            [this] {
                if (supply.Guard().Now() == Guards::State::Armed)
                    NoteEvent(QStringLiteral("guards disarmed"));
                supply.Guard().Disarm();
            },
            this);
    }
    guardsDialog->SetLimits(MaxVolt, MaxCurr);
    guardsDialog->show();
    guardsDialog->raise();
    guardsDialog->activateWindow();
}
