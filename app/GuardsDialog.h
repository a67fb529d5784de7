// The "Guards" dialog: the conditions that end an unattended run, each ticked on with its
// values, the output a guard leaves, and Arm / Disarm. It stays open beside the window without
// holding it up: the polls go on, and so do a script's commands.
#pragma once

#include "GuardKeeper.h"

#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <array>
#include <functional>

class GuardsDialog : public QDialog {
    Q_OBJECT
public:
    // `arm` arms the plan and gives the refusal's reason ("" when armed).
    GuardsDialog(Guards::Keeper &keeper, std::function<QString(const Guards::Plan &)> arm,
                 std::function<void()> disarm, QWidget *parent = nullptr);

    // Per condition: its tick ("GuardOn_k"), its value ("GuardX_k", none for C.C., time and no
    // reading) and its hold ("GuardHold_k", none for charge and energy; hours and minutes for
    // the time limit).
    std::array<QCheckBox *, Guards::ConditionCount> On{};
    std::array<QDoubleSpinBox *, Guards::ConditionCount> X{};
    std::array<QDoubleSpinBox *, Guards::ConditionCount> Hold{};
    QSpinBox *TimeHours = nullptr, *TimeMinutes = nullptr;
    QDoubleSpinBox *SafeVolt = nullptr, *SafeCurr = nullptr;
    QCheckBox *StopRecording = nullptr;
    QLabel *StateLine = nullptr;
    QPushButton *ArmButton = nullptr, *DisarmButton = nullptr, *CloseButton = nullptr;

    // The plan the boxes show.
    Guards::Plan Entered() const;
    // The boxes from the keeper's plan, and what may be changed while it watches.
    void Show();
    // The supply's limits, for the boxes' ranges.
    void SetLimits(double maxVolt, double maxCurr);

private:
    void Arm();
    Guards::Keeper &keeper_;
    std::function<QString(const Guards::Plan &)> arm_;
    std::function<void()> disarm_;
    bool showing_ = false; // the boxes are being filled, not edited
};
