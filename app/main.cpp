#include "Clock.h"
#include "CommandLine.h"
#include "DataLogPage.h"
#include "QtDialogs.h"
#include "SignalCloser.h"
#include "SystemComm1.h"
#include "SystemFace.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

int main(int argc, char *argv[]) {
#ifdef Q_OS_WIN
    // A windowed program: --help, --version and errors go to the console it was started from.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        [[maybe_unused]] FILE *out = std::freopen("CONOUT$", "w", stdout);
        [[maybe_unused]] FILE *err = std::freopen("CONOUT$", "w", stderr);
    }
#endif
    // Read before the application object: --help and --version need no display.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Options options = CommandLine::Parse(args);
    switch (options.action) {
    case CommandLine::Options::Action::Help:
        std::fputs(qPrintable(CommandLine::Usage()), stdout);
        return 0;
    case CommandLine::Options::Action::Version:
        std::fputs(qPrintable(CommandLine::Version()), stdout);
        return 0;
    case CommandLine::Options::Action::Error:
        std::fprintf(stderr, "qvr: %s\n%s", qPrintable(options.error),
                     qPrintable(CommandLine::Usage()));
        return 2;
    case CommandLine::Options::Action::Run:
        break;
    }
    // A run started from a script learns at once that its recording cannot be made.
    const QString recordFile =
        options.recordFile.isEmpty() ? QString() : QFileInfo(options.recordFile).absoluteFilePath();
    if (const QString why = recordFile.isEmpty() ? QString() : Recording::CheckPath(recordFile);
        !why.isEmpty()) {
        std::fprintf(stderr, "qvr: %s\n", qPrintable(why));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));
    QApplication::setApplicationVersion(QStringLiteral(QVR_VERSION));
    SystemFace::Apply();

    // QVR_DATA_DIR moves the database elsewhere (the demo keeps its own).
    const Database::Place place = Database::ProgramPlace();
    SystemComm1 port;
    QtDialogs dialogs;
    TabbedFrm window(port, dialogs, SystemClock::instance(),
                     QDir(place.dir).filePath(Database::FileName));
    dialogs.setParent(&window);
    SignalCloser closer(&window);
    if (!place.notice.isEmpty())
        dialogs.MsgBox(place.notice, Dialogs::Buttons::Ok, Dialogs::Icon::Information, {});
    if (!window.Form_Load())
        return window.exitCode();
    // "--record FILE": every sample from the start, for runs started unattended (from a script,
    // at log-in); a recording that cannot start ends the run before the window opens.
    if (!recordFile.isEmpty()) {
        if (const QString why = window.dataLogPage->TryRecording(recordFile); !why.isEmpty()) {
            std::fprintf(stderr, "qvr: %s\n", qPrintable(why));
            window.Form_Unload();
            return 2;
        }
    }
    // "--remote [PORT]": scripts let in for this run, without touching the remembered setting.
    if (options.remotePort) {
        if (const QString why = window.SetRemote(true, *options.remotePort, false);
            !why.isEmpty()) {
            std::fprintf(stderr, "qvr: %s\n", qPrintable(why));
            window.Form_Unload();
            return 2;
        }
    }
    window.show();
    window.Form_Activate();
    return QApplication::exec();
}
