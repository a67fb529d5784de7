// The Data Log page's recording: the "Record..." command, a line for every sample on the live
// store's tick, the events the main window reports, and the status it shows.
#include "Clock.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "Module1.h"

#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <cstdio>

using namespace Module1;

QString DataLogPage::TryRecording(const QString &path) {
    try {
        Rec.Start(path, QStringLiteral("recording started, %1, interval %2 s, limits %3 V %4 A")
                            .arg(PortText(), NumStr(SampleMs / 1000.0), NumStr(MaxVolt),
                                 NumStr(MaxCurr)));
    } catch (const std::runtime_error &e) {
        ShowRecording(true);
        return QString::fromStdString(e.what());
    }
    ShowRecording(true);
    return {};
}

bool DataLogPage::StartRecording(const QString &path) {
    const QString failure = TryRecording(path);
    if (!failure.isEmpty())
        dialogs_.MsgBox(failure);
    return failure.isEmpty();
}

void DataLogPage::RecordingStopped() {
    // Also for whoever started an unattended run from a script and reads its standard error.
    std::fprintf(stderr, "qvr: %s\n", qPrintable(Rec.Failure()));
    ShowRecording(true);
    dialogs_.MsgBox(Rec.Failure());
}

void DataLogPage::StopRecording() {
    Rec.Stop(QStringLiteral("recording ended"));
    ShowRecording(true);
}

void DataLogPage::MnuRecord_Click() {
    if (Rec.Active()) {
        StopRecording();
        return;
    }
    ShowRecording(true); // the check mark stays off until a file is chosen
    const QString preset = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                           u'/' + Recording::DefaultName(clock_.CurrentDateTime());
    if (const auto chosen =
            dialogs_.SaveFileName(QStringLiteral("Record"), preset,
                                  QStringLiteral("CSV file (*.csv)"), QStringLiteral("csv")))
        StartRecording(*chosen);
}

void DataLogPage::Note(const QString &event) {
    if (Rec.Active() && !Rec.Event(event))
        RecordingStopped();
}

void DataLogPage::RecordSample(float volt, float curr) {
    if (!Rec.Active())
        return;
    if (!Rec.Sample(volt, curr, RecordContext())) {
        RecordingStopped();
        return;
    }
    ShowRecording(false);
}

void DataLogPage::ShowRecording(bool force) {
    // The size changes with every sample; a status that changes every few seconds is enough.
    const qint64 now = clock_.MonotonicMs();
    if (!force && now - statusShownMs_ < 5000 && now >= statusShownMs_)
        return;
    statusShownMs_ = now;
    const bool on = Rec.Active();
    ToolButton(6)->setChecked(on);
    MnuRecord->setChecked(on);
    emit recordingStatus(
        on ? QStringLiteral("Recording to %1 (%2)")
                 .arg(QFileInfo(Rec.Path()).fileName(), QLocale::c().formattedDataSize(Rec.Size()))
           : QString());
}
