#include "GuardsDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Guards;

namespace {

struct Row {
    const char *label, *between; // before the value, between the value and the hold
    const char *unit;            // nullptr: no value
    int decimals;
    double x, hold; // the boxes' first values
};
// In the dialog's order: what trips first, then what ends the job.
const Condition Order[] = {CurrentAbove,     VoltageBelow,  VoltageAbove,  ConstantCurrent,
                           NoReading,        CurrentBelowInCv, ChargeReaches, EnergyReaches,
                           TimeReaches};
Row RowOf(Condition c) {
    switch (c) {
    case CurrentAbove:
        return {"Current above", "for", " A", 3, 1.0, 1};
    case VoltageBelow:
        return {"Voltage below", "for", " V", 2, 1.0, 2};
    case VoltageAbove:
        return {"Voltage above", "for", " V", 2, 10.0, 1};
    case ConstantCurrent:
        return {"C.C.", "for", nullptr, 0, 0, 5};
    case NoReading:
        return {"No reading", "for", nullptr, 0, 0, 30};
    case CurrentBelowInCv:
        return {"Current below", "in C.V. for", " A", 3, 0.05, 60};
    case ChargeReaches:
        return {"Charge reaches", nullptr, " Ah", 3, 1.0, 0};
    case EnergyReaches:
        return {"Energy reaches", nullptr, " Wh", 2, 10.0, 0};
    case TimeReaches:
        return {"Time since arming reaches", nullptr, nullptr, 0, 0, 5 * 3600};
    case ConditionCount:
        break;
    }
    return {"", nullptr, nullptr, 0, 0, 0};
}

QDoubleSpinBox *Spin(QWidget *parent, const QString &suffix, int decimals, double max) {
    auto *s = new QDoubleSpinBox(parent);
    s->setSuffix(suffix);
    s->setDecimals(decimals);
    s->setRange(0, max);
    s->setAccelerated(true);
    return s;
}

} // namespace

GuardsDialog::GuardsDialog(Keeper &keeper, std::function<QString(const Plan &)> arm,
                           std::function<void()> disarm, QWidget *parent)
    : QDialog(parent), keeper_(keeper), arm_(std::move(arm)), disarm_(std::move(disarm)) {
    setObjectName(QStringLiteral("GuardsDialog"));
    setWindowTitle(QStringLiteral("Guards"));
    auto *column = new QVBoxLayout(this);
    auto *trips = new QGroupBox(QStringLiteral("Trip: a fault ends the run"), this);
    auto *dones = new QGroupBox(QStringLiteral("Done: the job has ended"), this);
    auto *tripGrid = new QGridLayout(trips), *doneGrid = new QGridLayout(dones);
    int tripRow = 0, doneRow = 0;
    std::vector<QLabel *> betweens;
    for (const Condition c : Order) {
        const Row row = RowOf(c);
        const bool trip = KindOf(c) == Kind::Trip;
        QGroupBox *box = trip ? trips : dones;
        QGridLayout *grid = trip ? tripGrid : doneGrid;
        const int r = trip ? tripRow++ : doneRow++;
        const size_t k = size_t(c);
        On[k] = new QCheckBox(QLatin1String(row.label), box);
        On[k]->setObjectName(QStringLiteral("GuardOn_%1").arg(c));
        grid->addWidget(On[k], r, 0);
        if (row.unit) {
            const double max = QLatin1String(row.unit) == QLatin1String(" A")   ? 9.99
                               : QLatin1String(row.unit) == QLatin1String(" V") ? 99.9
                                                                                : 99999;
            X[k] = Spin(box, QLatin1String(row.unit), row.decimals, max);
            X[k]->setValue(row.x);
            X[k]->setObjectName(QStringLiteral("GuardX_%1").arg(c));
            grid->addWidget(X[k], r, 1);
        }
        if (row.between) {
            auto *between = new QLabel(QLatin1String(row.between), box);
            betweens.push_back(between);
            grid->addWidget(between, r, 2);
            Hold[k] = Spin(box, QStringLiteral(" s"), 1, 86400);
            Hold[k]->setValue(row.hold);
            Hold[k]->setObjectName(QStringLiteral("GuardHold_%1").arg(c));
            grid->addWidget(Hold[k], r, 3);
        }
    }
    // The time limit in hours and minutes: a charge runs for hours.
    TimeHours = new QSpinBox(dones);
    TimeHours->setObjectName(QStringLiteral("GuardHours"));
    TimeHours->setRange(0, 999);
    TimeHours->setSuffix(QStringLiteral(" h"));
    TimeHours->setValue(5);
    TimeMinutes = new QSpinBox(dones);
    TimeMinutes->setObjectName(QStringLiteral("GuardMinutes"));
    TimeMinutes->setRange(0, 59);
    TimeMinutes->setSuffix(QStringLiteral(" min"));
    auto *time = new QHBoxLayout;
    time->addWidget(TimeHours);
    time->addWidget(TimeMinutes);
    time->addStretch();
    doneGrid->addLayout(time, doneRow - 1, 1, 1, 3);
    // Both groups' values in one column, under each other.
    int labels = 0, between = 0, values = 0;
    for (QCheckBox *on : On)
        labels = std::max(labels, on->sizeHint().width());
    for (QDoubleSpinBox *x : X)
        values = std::max(values, x ? x->sizeHint().width() : 0);
    for (QLabel *l : betweens)
        between = std::max(between, l->sizeHint().width());
    for (QGridLayout *grid : {tripGrid, doneGrid}) {
        grid->setColumnMinimumWidth(0, labels);
        grid->setColumnMinimumWidth(1, values);
        grid->setColumnMinimumWidth(2, between);
        grid->setColumnStretch(4, 1);
    }
    On[VoltageBelow]->setToolTip(
        QStringLiteral("Only while the set voltage is above it: an overload pulling it down."));
    On[ConstantCurrent]->setToolTip(
        QStringLiteral("The current limit holds the output: a short, or a larger load than "
                       "planned."));
    On[NoReading]->setToolTip(QStringLiteral(
        "The port is lost or the supply is silent. The guard acts when the supply answers "
        "again."));
    On[CurrentBelowInCv]->setToolTip(
        QStringLiteral("The end of a constant-current, constant-voltage charge."));
    On[ChargeReaches]->setToolTip(QStringLiteral("Counted from arming."));
    On[EnergyReaches]->setToolTip(QStringLiteral("Counted from arming."));
    column->addWidget(trips);
    column->addWidget(dones);

    auto *after = new QGroupBox(QStringLiteral("When a guard acts"), this);
    auto *afterGrid = new QGridLayout(after);
    SafeVolt = Spin(after, QStringLiteral(" V"), 1, 99.9);
    SafeVolt->setObjectName(QStringLiteral("SafeVolt"));
    SafeCurr = Spin(after, QStringLiteral(" A"), 2, 9.99);
    SafeCurr->setObjectName(QStringLiteral("SafeCurr"));
    SafeCurr->setMinimum(0.01);
    afterGrid->addWidget(new QLabel(QStringLiteral("Any program ends; the output is set to"),
                                    after),
                         0, 0);
    afterGrid->addWidget(SafeVolt, 0, 1);
    afterGrid->addWidget(SafeCurr, 0, 2);
    StopRecording = new QCheckBox(QStringLiteral("Stop the recording too"), after);
    StopRecording->setObjectName(QStringLiteral("StopRecording"));
    afterGrid->addWidget(StopRecording, 1, 0, 1, 3);
    afterGrid->setColumnStretch(3, 1);
    column->addWidget(after);

    StateLine = new QLabel(this);
    StateLine->setObjectName(QStringLiteral("GuardState"));
    StateLine->setWordWrap(true);
    column->addWidget(StateLine);
    auto *buttons = new QHBoxLayout;
    ArmButton = new QPushButton(QStringLiteral("&Arm"), this);
    ArmButton->setObjectName(QStringLiteral("ArmButton"));
    DisarmButton = new QPushButton(QStringLiteral("&Disarm"), this);
    DisarmButton->setObjectName(QStringLiteral("DisarmButton"));
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    buttons->addStretch();
    for (QPushButton *b : {ArmButton, DisarmButton, CloseButton})
        buttons->addWidget(b);
    column->addLayout(buttons);
    ArmButton->setDefault(true);

    connect(ArmButton, &QPushButton::clicked, this, &GuardsDialog::Arm);
    connect(DisarmButton, &QPushButton::clicked, this, [this] { disarm_(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    // Every change is kept at once, so that the next arm (or a restart) finds it.
    const auto keep = [this] {
        if (showing_)
            return;
        showing_ = true; // the boxes already show what is kept: no refill under the typing
        keeper_.Keep(Entered());
        showing_ = false;
    };
    for (size_t k = 0; k < ConditionCount; ++k) {
        connect(On[k], &QCheckBox::toggled, this, keep);
        for (QDoubleSpinBox *s : {X[k], Hold[k]})
            if (s)
                connect(s, &QDoubleSpinBox::valueChanged, this, keep);
    }
    for (QSpinBox *s : {TimeHours, TimeMinutes})
        connect(s, &QSpinBox::valueChanged, this, keep);
    for (QDoubleSpinBox *s : {SafeVolt, SafeCurr})
        connect(s, &QDoubleSpinBox::valueChanged, this, keep);
    connect(StopRecording, &QCheckBox::toggled, this, keep);
    connect(&keeper_, &Keeper::changed, this, &GuardsDialog::Show);
    Show();
}

void GuardsDialog::SetLimits(double maxVolt, double maxCurr) {
    if (!(maxVolt > 0 && maxCurr > 0))
        return; // not known yet: the line's own limits stand
    showing_ = true;
    for (size_t k = 0; k < ConditionCount; ++k)
        if (X[k] && X[k]->suffix() == u" A")
            X[k]->setMaximum(maxCurr);
        else if (X[k] && X[k]->suffix() == u" V")
            X[k]->setMaximum(maxVolt);
    SafeVolt->setMaximum(maxVolt);
    SafeCurr->setMaximum(maxCurr);
    showing_ = false;
}

Plan GuardsDialog::Entered() const {
    Plan plan;
    for (size_t k = 0; k < ConditionCount; ++k) {
        Setting &g = plan.conditions[k];
        g.on = On[k]->isChecked();
        g.x = X[k] ? X[k]->value() : 0;
        g.holdS = Hold[k] ? Hold[k]->value() : 0;
    }
    plan.conditions[TimeReaches].holdS = TimeHours->value() * 3600.0 + TimeMinutes->value() * 60.0;
    plan.safeVolt = SafeVolt->value();
    plan.safeCurr = SafeCurr->value();
    plan.stopRecording = StopRecording->isChecked();
    return plan;
}

void GuardsDialog::Show() {
    if (showing_)
        return;
    showing_ = true;
    const Plan &plan = keeper_.Current();
    for (size_t k = 0; k < ConditionCount; ++k) {
        const Setting &g = plan.conditions[k];
        On[k]->setChecked(g.on);
        if (!g.on)
            continue; // an unticked row keeps what was last typed into it
        if (X[k])
            X[k]->setValue(g.x);
        if (Hold[k])
            Hold[k]->setValue(g.holdS);
    }
    if (const Setting &t = plan.conditions[TimeReaches]; t.on) {
        const qint64 minutes = std::llround(t.holdS / 60);
        TimeHours->setValue(int(minutes / 60));
        TimeMinutes->setValue(int(minutes % 60));
    }
    SafeVolt->setValue(plan.safeVolt);
    SafeCurr->setValue(plan.safeCurr);
    StopRecording->setChecked(plan.stopRecording);
    // While it watches, the plan is the one armed: nothing to change but to disarm.
    const bool armed = keeper_.Now() == State::Armed;
    for (QWidget *w : findChildren<QGroupBox *>())
        w->setEnabled(!armed);
    ArmButton->setEnabled(!armed);
    DisarmButton->setEnabled(keeper_.Now() != State::Off);
    const QString line = keeper_.Line();
    StateLine->setText(line.isEmpty() ? QStringLiteral("Not armed.") : line);
    showing_ = false;
}

void GuardsDialog::Arm() {
    // The refusal's message comes from the window, which says it in a box.
    arm_(Entered());
}
