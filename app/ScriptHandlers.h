// What the window does when a script asks: the handlers of its own buttons, with their messages
// routed to the script instead of a box.
#pragma once

#include "Supply.h"

class TabbedFrm;

class ScriptHandlers {
public:
    explicit ScriptHandlers(TabbedFrm &window) : w_(window) {}
    // The core's handlers, bound to this window.
    Supply::Handlers Bound();

    // Also a guard's: one setpoint out as the panel's "Set" sends it, and Stop as the pages do.
    Supply::Result SetBox(int box, float value);
    Supply::Result StopRun();

private:
    Supply::Result FreshPoll();
    Supply::Result StartTable(Supply::Where where, const QString &table, int cycles);
    Supply::Result RecallMemory(int memory);
    Supply::Result RecordTo(bool on, const QString &file);
    QString OperatorBusy() const;
    // Runs `f` with the boxes it would show said to the script; Failed with their text.
    template <typename F> Supply::Result Routed(F &&f);
    // The port failed: the script hears it now, the window says it once after this command.
    Supply::Result Lost(const QString &description);

    TabbedFrm &w_;
};
