// The Data Log page's logs: save, open and delete with the buttons that follow the name, and
// the export and print-out of the chart's samples.
#include "ChartSurface.h"
#include "Clock.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "LogExport.h"
#include "LogPrint.h"
#include "LogTables.h"
#include "Module1.h"
#include "SampleStore.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

using namespace Module1;

void DataLogPage::FillLogList(const QStringList &tables) {
    QComboBox *box = Combo3[ChartScale::LogName];
    box->clear();
    box->addItems(LogTables::Names(tables));
    // Qt makes the first entry current when it fills an empty box: the text stays empty.
    box->setEditText(QString());
    Combo3_Change(ChartScale::LogName);
}

void DataLogPage::Combo3_Change(int index) {
    if (index != ChartScale::LogName)
        return;
    const QString name = Combo3[ChartScale::LogName]->currentText();
    if (name.isEmpty()) {
        ToolButton(3)->setEnabled(false);
        ToolButton(4)->setEnabled(false);
        return;
    }
    ToolButton(3)->setEnabled(Option3[0]->isChecked() && Connected);
    bool listed = false;
    for (int i = 0; i < Combo3[ChartScale::LogName]->count(); ++i)
        listed = listed ||
                 Combo3[ChartScale::LogName]->itemText(i).compare(name, Qt::CaseInsensitive) == 0;
    ToolButton(4)->setEnabled(listed);
}

void DataLogPage::MnuSave_Click() {
    const QString name = Combo3[ChartScale::LogName]->currentText();
    if (name.isEmpty())
        return;
    QStringList tables;
    try {
        tables = db_.TableNames();
        const auto existing = LogTables::Find(tables, name, true);
        if (existing && dialogs_.MsgBox(QStringLiteral("Table '") + name +
                                            QStringLiteral("' log already exist. Overwrte it ?"),
                                        Dialogs::Buttons::YesNoSafe) == Dialogs::Answer::No)
            return;
        // An overwrite keeps the stored table, and with it the interval in its name.
        const QString table = existing ? *existing : LogTables::Prefix(SampleMs) + name;
        LogTables::Save(db_, table, LiveStore, clock_.CurrentDateTime());
        tables = db_.TableNames();
    } catch (const StoreError &) {
        dialogs_.MsgBox(QStringLiteral("Data access error !"));
        return;
    }
    FillLogList(tables);
    Combo3[ChartScale::LogName]->setEditText(name);
    Picture1->setFocus();
    int samples = 0;
    for (int k = 1; k <= SampleStore::Slots; ++k)
        samples += LiveStore.Present(k);
    Tell(QStringLiteral("Log '%1' saved (%2 samples)").arg(name).arg(samples));
}

void DataLogPage::OpenLog(const QString &name) {
    try {
        const auto table = LogTables::Find(db_.TableNames(), name, false);
        if (!table)
            return;
        LogCreated = LogTables::Load(db_, *table, LogStore);
        LogSampleMs = LogTables::IntervalMs(*table);
        OpenLogName = name;
    } catch (const StoreError &e) {
        dialogs_.MsgBox(e.description(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return;
    }
    Option3[1]->setEnabled(true);
    Cursors = {}; // they were on the samples of the chart shown before
    if (Option3[1]->isChecked())
        RedrawByMode(); // already showing a log: show this one
    else
        Option3[1]->setChecked(true);
    ToolButton(3)->setEnabled(Option3[0]->isChecked());
}

void DataLogPage::MnuDele_Click() {
    const QString name = Combo3[ChartScale::LogName]->currentText();
    QStringList tables;
    try {
        tables = db_.TableNames();
        const auto existing = LogTables::Find(tables, name, true);
        if (!existing) {
            dialogs_.MsgBox(QStringLiteral("' ") + name + QStringLiteral(" ' log no exist !"));
            return;
        }
        if (dialogs_.MsgBox(QStringLiteral("Are you sure to delete th log '") + name +
                                QStringLiteral("' ?"),
                            Dialogs::Buttons::YesNoSafe) == Dialogs::Answer::No)
            return;
        LogTables::Remove(db_, *existing);
        tables = db_.TableNames();
    } catch (const StoreError &e) {
        dialogs_.MsgBox(e.description(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return;
    }
    FillLogList(tables);
    Option3[0]->setChecked(true);
    Option3[1]->setEnabled(false);
    ToolButton(4)->setEnabled(false);
}

void DataLogPage::MnuExport_Click() {
    const bool log = Option3[1]->isChecked();
    const QString preset = log ? QStringLiteral("Log") + OpenLogName
                               : QStringLiteral("Now") + clock_.CurrentDateTime().toString(
                                                             QStringLiteral("yyyy-MM-dd"));
    const auto chosen = dialogs_.SaveFileName(QStringLiteral("Export"), preset,
                                              QStringLiteral("*.xls"), QStringLiteral("csv"));
    if (!chosen)
        return;
    const QString path = LogExport::XlsPath(*chosen);
    if (QFileInfo::exists(path) &&
        dialogs_.MsgBox(QStringLiteral("File '") + QFileInfo(path).fileName() +
                            QStringLiteral("' already exist. Overwrte it ?"),
                        Dialogs::Buttons::YesNoSafe) == Dialogs::Answer::No)
        return;
    try {
        const QByteArray text =
            LogExport::Text(log ? LogStore : LiveStore, log ? LogSampleMs : SampleMs);
        LogExport::Write(path, text);
        const qsizetype lines = text.count('\n') - 1; // under the header
        Tell(QStringLiteral("Exported %1 line%2 to %3")
                 .arg(lines)
                 .arg(lines == 1 ? QString() : QStringLiteral("s"))
                 .arg(QDir::toNativeSeparators(path)));
    } catch (const std::runtime_error &e) {
        dialogs_.MsgBox(QString::fromStdString(e.what()));
    }
}

void DataLogPage::MnuPrin_Click() {
    PrintLog();
}

void DataLogPage::PrintLog() {
    const bool log = Option3[1]->isChecked();
    const LogPrint::Page page = PrintedPage(false);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("QVR ") + (log ? OpenLogName : QStringLiteral("Now")));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!dialogs_.PrintSetup(printer))
        return;
    QPainter p;
    bool ok = p.begin(&printer);
    if (ok) {
        // The painter's origin is the printable area's corner.
        const QSize area = printer.pageLayout().paintRectPixels(printer.resolution()).size();
        LogPrint::Draw(p, QRect(QPoint(0, 0), area), page);
        ok = p.end();
    }
    if (!ok)
        dialogs_.MsgBox(QStringLiteral("Data access error !"));
    else
        Tell(QStringLiteral("Printed"));
}
