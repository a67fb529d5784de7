#include "Clock.h"
#include "CommandLine.h"
#include "Console.h"
#include "DataLogPage.h"
#include "FolderLock.h"
#include "HistoryWindow.h"
#include "QtDialogs.h"
#include "SignalCloser.h"
#include "SystemComm1.h"
#include "SystemFace.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char *argv[]) {
    // Read before the application object: --help and --version need no display.
    const CommandLine::Options options = CommandLine::Parse(Console::Arguments(argc, argv));
    switch (options.action) {
    case CommandLine::Options::Action::Help:
        Console::Print(CommandLine::Usage());
        return 0;
    case CommandLine::Options::Action::Version:
        Console::Print(CommandLine::Version());
        return 0;
    case CommandLine::Options::Action::Error:
        Console::Print(QStringLiteral("qvr: %1\n%2").arg(options.error, CommandLine::Usage()), true);
        return 2;
    case CommandLine::Options::Action::Run:
        break;
    }
    // A run started from a script learns at once that its recording cannot be made.
    const QString recordFile =
        options.recordFile.isEmpty() ? QString() : QFileInfo(options.recordFile).absoluteFilePath();
    if (const QString why = recordFile.isEmpty() ? QString() : Recording::CheckPath(recordFile);
        !why.isEmpty()) {
        Console::Print(QStringLiteral("qvr: %1\n").arg(why), true);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));
    QApplication::setApplicationVersion(QStringLiteral(QVR_VERSION));
    SystemFace::Apply();

    // "--view FILE...": yesterday's run read on any computer, without a port or the database.
    if (!options.viewFiles.isEmpty()) {
        QtDialogs dialogs;
        QStringList errors;
        const bool opened = !History::OpenRecordings(dialogs, options.viewFiles, &errors).isEmpty();
        for (const QString &error : errors)
            Console::Print(QStringLiteral("qvr: %1\n").arg(error), true);
        return opened ? QApplication::exec() : 2;
    }

    // QVR_DATA_DIR (or --data) moves the database elsewhere (the demo keeps its own).
    if (!options.dataDir.isEmpty())
        qputenv("QVR_DATA_DIR", QFile::encodeName(QDir(options.dataDir).absolutePath()));
    const Database::Place place = Database::ProgramPlace();
    FolderLock lock(place.dir);
    if (const QString why = lock.Take(); !why.isEmpty()) {
        Console::Print(QStringLiteral("qvr: %1\n").arg(why), true);
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) // nobody to answer it
            QtDialogs().MsgBox(why, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, {});
        return 2;
    }
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
            Console::Print(QStringLiteral("qvr: %1\n").arg(why), true);
            window.Form_Unload();
            return 2;
        }
    }
    // "--remote [PORT]": scripts let in for this run, without touching the remembered setting.
    if (options.remotePort) {
        if (const QString why = window.SetRemote(true, *options.remotePort, false);
            !why.isEmpty()) {
            Console::Print(QStringLiteral("qvr: %1\n").arg(why), true);
            window.Form_Unload();
            return 2;
        }
    }
    if (!options.benchName.isEmpty())
        window.SetBenchName(options.benchName, false);
    // "--metrics [ADDR:]PORT": the readings published for this run, the remembered setting kept.
    if (options.metrics) {
        if (const QString why =
                window.SetMetrics(true, options.metrics->first, options.metrics->second, false);
            !why.isEmpty()) {
            Console::Print(QStringLiteral("qvr: %1\n").arg(why), true);
            window.Form_Unload();
            return 2;
        }
    }
    window.show();
    window.Form_Activate();
    return QApplication::exec();
}
