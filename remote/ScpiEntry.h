// What a command's entry in the tables sees, shared by the tables of ScpiCommands and
// GuardCommands.
#pragma once

#include "ScpiCommands.h"
#include "Supply.h"

namespace ScpiCommands {

using Reply = std::optional<QByteArray>;

struct Context {
    const Scpi::Command &cmd;
    Client &client;
    Supply &supply;
    const QString &version;
};

struct Entry {
    const char *pattern;
    bool query;
    Reply (*run)(Context &);
    bool queryParams = false; // a query that reads parameters (MIN, MAX, DEF)
};

// A refused request into the queue with the code its reason has; whether it was done.
bool Done(Context &c, const Supply::Result &r);

struct Entries {
    const Entry *first;
    size_t count;
    const Entry *begin() const { return first; }
    const Entry *end() const { return first + count; }
};
// The guards' commands (GUARd:...).
Entries GuardTable();

} // namespace ScpiCommands
