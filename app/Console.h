// The command line of a windowed program: its arguments and the few texts it prints.
#pragma once

#include <QStringList>

namespace Console {

// The program's arguments as the user typed them: on Windows from the wide command line (the
// ANSI code page would turn letters outside it into '?'), elsewhere in the locale's encoding.
QStringList Arguments(int argc, char *argv[]);

// Prints `text` (--help, --version, an error) on standard output or standard error. On Windows a
// handle the program inherited (a redirection, a pipe) is written as it is; only where there is
// none is the starting console attached, for this text alone, so that the running window never
// belongs to that console (its Ctrl+C and its closing are the console's other programs' affair).
void Print(const QString &text, bool error = false);

} // namespace Console
