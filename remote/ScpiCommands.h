// The commands a script may send, each matched by its SCPI-99 pattern and carried out through the
// supply's core: the same checks and the same handlers as the operator's buttons. Beside them,
// each client's IEEE 488.2 and SCPI-99 status registers.
#pragma once

#include "Scpi.h"

#include <QByteArray>
#include <optional>

class Supply;

namespace ScpiCommands {

// The supply's conditions in the registers' bits.
namespace Bit {
constexpr int OperCV = 1 << 8;       // OPERation: the output regulates its voltage (C.V.)
constexpr int OperCC = 1 << 10;      // OPERation: the output limits its current (C.C.)
constexpr int OperGuardDone = 1 << 11; // OPERation: a guard found the job done
constexpr int OperProgram = 1 << 14; // OPERation: a program runs (internal or external)
constexpr int QuesVolt = 1 << 0;     // QUEStionable: no voltage reading
constexpr int QuesCurr = 1 << 1;     // QUEStionable: no current reading
constexpr int QuesLink = 1 << 9;     // QUEStionable: no supply answers (the link is down)
constexpr int QuesGuardTripped = 1 << 10; // QUEStionable: a guard tripped and ended the run
} // namespace Bit
struct Conditions {
    int oper = 0, ques = 0;
};
Conditions ConditionsOf(const Supply &supply);

// A SCPI-99 status register: its event latches each condition bit that rises (the positive
// transition filter, all ones), read and cleared by :EVENt?; :ENABle picks what sums up into the
// status byte.
struct StatusRegister {
    int event = 0, enable = 0, last = 0;
    void Observe(int condition) {
        event |= condition & ~last;
        last = condition;
    }
};

// What the server keeps per client besides its socket.
struct Client {
    Scpi::ErrorQueue errors;
    int esr = 0; // standard event status register, cleared by *ESR? and *CLS
    int ese = 0, sre = 0;
    StatusRegister oper, ques;
    int lastError = 0; // the code last queued, for the line that is carried out
    // Queues the error and sets its event bit: 32 command, 16 execution, 8 device, 4 query.
    void Fail(int code, const QString &info = QString());
    // The conditions now; a client that connects starts from them without events.
    void Observe(const Conditions &now);
    void Baseline(const Conditions &now);
    // *STB?: 4 error queue, 8 QUEStionable, 32 standard event, 64 any enabled, 128 OPERation.
    int StatusByte() const;
};

// One command for `client`: its reply without the line end, or nothing for a command that
// answers nothing (or failed: the error is queued).
std::optional<QByteArray> Execute(const Scpi::Command &command, Client &client, Supply &supply,
                                  const QString &version);

// A line carried out a command at a time, so that a long compound line shares the window's time
// with the polling and the other clients. A command error (-100 to -199) discards the rest of
// the line, as IEEE 488.2 parsers do; the commands before it stay done.
class LineRun {
public:
    explicit LineRun(const QByteArray &line) : message_(Scpi::Split(line)) {}
    bool Done() const { return next_ >= message_.commands.size() && !message_.error; }
    void Next(Client &client, Supply &supply, const QString &version);
    // The replies joined by ';' as SCPI-99 joins a message's answers, one line, or nothing.
    const std::optional<QByteArray> &Reply() const { return reply_; }

private:
    Scpi::Message message_;
    size_t next_ = 0;
    std::optional<QByteArray> reply_;
};

// A whole line at once.
std::optional<QByteArray> ExecuteLine(const QByteArray &line, Client &client, Supply &supply,
                                      const QString &version);

} // namespace ScpiCommands
