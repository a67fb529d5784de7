// The commands a script may send, each matched by its SCPI-99 pattern and carried out through the
// supply's core: the same checks and the same handlers as the operator's buttons.
#pragma once

#include "Scpi.h"

#include <QByteArray>
#include <optional>

class Supply;

namespace ScpiCommands {

// What the server keeps per client besides its socket.
struct Client {
    Scpi::ErrorQueue errors;
    int esr = 0; // standard event status register, cleared by *ESR? and *CLS
    // Queues the error and sets its event bit: 32 command, 16 execution, 8 device, 4 query.
    void Fail(int code, const QString &info = QString());
};

// One command for `client`: its reply without the line end, or nothing for a command that
// answers nothing (or failed: the error is queued).
std::optional<QByteArray> Execute(const Scpi::Command &command, Client &client, Supply &supply,
                                  const QString &version);

// A whole line: its replies joined by ';' as SCPI-99 joins a message's answers, or nothing.
std::optional<QByteArray> ExecuteLine(const QByteArray &line, Client &client, Supply &supply,
                                      const QString &version);

} // namespace ScpiCommands
