#include "CommandLine.h"

#include <QCommandLineParser>

namespace CommandLine {

namespace {
// The options QGuiApplication and QApplication take for themselves.
const QStringList QtValueOptions{"platform",        "platformpluginpath",
                                 "platformtheme",   "plugin",
                                 "qwindowgeometry", "qwindowtitle",
                                 "qwindowicon",     "style",
                                 "stylesheet",      "display",
                                 "geometry",        "session"};
const QStringList QtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync"};
} // namespace

QString Usage() {
    return QStringLiteral(
        "Usage: qvr [--record FILE]\n"
        "Controls and logs a programmable DC bench power supply over one RS-232 line.\n"
        "\n"
        "Options:\n"
        "  --record FILE  record every sample to FILE (CSV, appended) once the window is up\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "\n"
        "Port n is the device named by QVR_COM<n>, else the one assigned in Options, else\n"
        "/dev/ttyS<n-1>. QVR_DATA_DIR names the folder of the database QVRdb.mdb.\n");
}

QString Version() {
    return QStringLiteral("qvr 2.0\n");
}

Options Parse(const QStringList &args) {
    QCommandLineParser parser;
    // "-platform offscreen" as Qt spells its options; "--record" works all the same.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({record, help, version});
    for (const QString &name : QtValueOptions)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const QString &name : QtFlags)
        parser.addOption(QCommandLineOption(name));

    Options out;
    if (!parser.parse(args)) {
        out.action = Options::Action::Error;
        out.error = parser.errorText();
    } else if (parser.isSet(help)) {
        out.action = Options::Action::Help;
    } else if (parser.isSet(version)) {
        out.action = Options::Action::Version;
    } else if (!parser.positionalArguments().isEmpty()) {
        out.action = Options::Action::Error;
        out.error = QStringLiteral("Unexpected argument '%1'.")
                        .arg(parser.positionalArguments().constFirst());
    } else {
        out.recordFile = parser.value(record);
    }
    return out;
}

} // namespace CommandLine
