// The command line of qvr, read before the application object exists: --help and --version need
// no display, and a mistake is told before any window opens.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace CommandLine {

struct Options {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString recordFile; // --record FILE; empty when not given
    std::optional<quint16> remotePort; // --remote [PORT]
    QStringList viewFiles; // --view FILE...: recordings read back, without the supply
    std::optional<std::pair<QString, quint16>> metrics; // --metrics [ADDR:]PORT
    QString dataDir;   // --data DIR: the database's folder, as QVR_DATA_DIR names it
    QString benchName; // --name NAME: the bench's name for monitoring, for this run
    QString error;      // what was wrong, for Action::Error
};

// `args` as main() gets them, the program's name first. Qt's own options (-platform, -style and
// the like) are let through for the application object.
Options Parse(const QStringList &args);

// "9725", "0.0.0.0:9725", "[::1]:9725": the address (127.0.0.1 when none) and the port.
std::optional<std::pair<QString, quint16>> ListenAddress(const QString &text);

QString Usage();
QString Version();

} // namespace CommandLine
