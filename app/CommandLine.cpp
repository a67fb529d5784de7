#include "CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

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
        "Usage: qvr [--record FILE] [--remote [PORT]] [--metrics [ADDR:]PORT]\n"
        "           [--data DIR] [--name NAME]\n"
        "       qvr --view FILE...\n"
        "Controls and logs a programmable DC bench power supply over one RS-232 line.\n"
        "\n"
        "Options:\n"
        "  --record FILE  record every sample to FILE (CSV, appended) once the window is up\n"
        "  --view FILE... read recordings back, each in a window of its own; no port is\n"
        "                 opened and nothing goes to any supply\n"
        "  --remote [PORT]  accept SCPI commands from scripts of this user on 127.0.0.1 and\n"
        "                 ::1, port PORT (default 5025), for this run\n"
        "  --metrics [ADDR:]PORT  publish the readings for monitoring (Prometheus) at\n"
        "                 http://ADDR:PORT/metrics for this run; ADDR 127.0.0.1 unless given\n"
        "  --data DIR     the folder of the database (QVRdb.mdb), as QVR_DATA_DIR names it;\n"
        "                 one folder to each QVR running side by side\n"
        "  --name NAME    the bench's name for monitoring, for this run\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "\n"
        "Port n is the device named by QVR_COM<n>, else the one assigned in Options, else\n"
        "/dev/ttyS<n-1>. QVR_DATA_DIR names the folder of the database QVRdb.mdb.\n");
}

std::optional<std::pair<QString, quint16>> ListenAddress(const QString &text) {
    static const QRegularExpression form(
        QStringLiteral("^(?:(\\[[0-9A-Fa-f:.]+\\]|[0-9.]+):)?([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    const int port = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (port < 1 || port > 65535)
        return std::nullopt;
    QString address = m.captured(1);
    if (address.startsWith(u'['))
        address = address.mid(1, address.size() - 2);
    return std::pair{address.isEmpty() ? QStringLiteral("127.0.0.1") : address, quint16(port)};
}

QString Version() {
    return QStringLiteral("qvr 2.0\n");
}

Options Parse(const QStringList &given) {
    Options out;
    // "--remote" takes its port only when one follows, which QCommandLineParser cannot say.
    QStringList args;
    for (int i = 0; i < given.size(); ++i) {
        const QString &a = given[i];
        const QString name = a.section(u'=', 0, 0);
        if (i == 0 || (name != u"--remote" && name != u"-remote")) {
            args << a;
            continue;
        }
        QString port = a.contains(u'=') ? a.section(u'=', 1) : QString();
        if (!a.contains(u'=') && i + 1 < given.size() &&
            QRegularExpression(QStringLiteral("^[0-9]+$")).match(given[i + 1]).hasMatch())
            port = given[++i];
        const int n = port.isEmpty() ? 5025 : port.toInt();
        if (n < 1 || n > 65535) {
            out.action = Options::Action::Error;
            out.error = QStringLiteral("The port for --remote must be 1 to 65535, not '%1'.")
                            .arg(port);
            return out;
        }
        out.remotePort = quint16(n);
    }
    QCommandLineParser parser;
    // "-platform offscreen" as Qt spells its options; "--record" works all the same.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption view(QStringLiteral("view"));
    const QCommandLineOption metrics(QStringLiteral("metrics"), QString(),
                                     QStringLiteral("ADDR:PORT"));
    const QCommandLineOption data(QStringLiteral("data"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({record, view, metrics, data, name, help, version});
    for (const QString &name : QtValueOptions)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const QString &name : QtFlags)
        parser.addOption(QCommandLineOption(name));

    if (!parser.parse(args)) {
        out.action = Options::Action::Error;
        out.error = parser.errorText();
    } else if (parser.isSet(help)) {
        out.action = Options::Action::Help;
    } else if (parser.isSet(version)) {
        out.action = Options::Action::Version;
    } else if (parser.isSet(view)) {
        out.viewFiles = parser.positionalArguments();
        if (out.viewFiles.isEmpty()) {
            out.action = Options::Action::Error;
            out.error = QStringLiteral("--view needs the recordings to read.");
        } else if (parser.isSet(record) || out.remotePort || parser.isSet(metrics)) {
            out.action = Options::Action::Error;
            out.error = QStringLiteral("--view reads recordings only: it cannot be used with "
                                       "--record, --remote or --metrics.");
        }
    } else if (!parser.positionalArguments().isEmpty()) {
        out.action = Options::Action::Error;
        out.error = QStringLiteral("Unexpected argument '%1'.")
                        .arg(parser.positionalArguments().constFirst());
    } else {
        out.recordFile = parser.value(record);
        out.dataDir = parser.value(data);
        out.benchName = parser.value(name).trimmed();
        if (parser.isSet(data) && out.dataDir.isEmpty()) {
            out.action = Options::Action::Error;
            out.error = QStringLiteral("--data needs the folder of the database.");
        } else if (parser.isSet(name) && out.benchName.isEmpty()) {
            out.action = Options::Action::Error;
            out.error = QStringLiteral("--name needs the bench's name.");
        }
        if (parser.isSet(metrics)) {
            out.metrics = ListenAddress(parser.value(metrics));
            if (!out.metrics) {
                out.action = Options::Action::Error;
                out.error = QStringLiteral("--metrics needs [ADDR:]PORT, such as 9725 or "
                                           "0.0.0.0:9725, not '%1'.")
                                .arg(parser.value(metrics));
            }
        }
    }
    return out;
}

} // namespace CommandLine
