// The Data Log page's reading of the chart: the cursors, the statistics beside the fields, and
// the chart saved as an image.
#include "ChartImage.h"
#include "ChartOverlay.h"
#include "ChartSurface.h"
#include "Clock.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "Module1.h"
#include "SampleStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Module1;

ChartReadout::Slots DataLogPage::ChartSlots(bool live) const {
    ChartReadout::Slots chart;
    chart.store = live ? &LiveStore : &LogStore;
    chart.intervalMs = live ? SampleMs : LogSampleMs;
    // The live chart leaves slot 1 out: its window starts two intervals later than the log's.
    // The live interval sets the offset of both charts.
    chart.offsetHalfS = (live ? 4.0 : 2.0) * SampleMs / 1000;
    if (live ? LastSampleAt.isValid() : LogCreated.has_value())
        chart.newest = live ? LastSampleAt : *LogCreated;
    return chart;
}

ChartReadout::Slots DataLogPage::ShownSlots() const {
    return ChartSlots(!Option3[1]->isChecked());
}

ChartScale::Mapping DataLogPage::ShownMapping() const {
    const bool log = Option3[1]->isChecked();
    return ChartScale::ReadMapping(ReadScale(), Picture1->ScaleWidth(), Picture1->ScaleHeight(),
                                   ShownSlots().offsetHalfS, !log);
}

void DataLogPage::UpdateReadings() {
    const ChartReadout::Slots chart = ShownSlots();
    std::optional<std::pair<int, int>> stretch;
    if (Cursors.Pair())
        stretch = std::pair{*Cursors.a, *Cursors.b};
    else
        stretch = ChartReadout::WindowSlots(chart, ShownMapping());
    ChartReadout::Stats stats;
    if (stretch)
        stats = ChartReadout::Compute(*chart.store, stretch->first, stretch->second,
                                      chart.intervalMs, Cursors.Pair());
    Stats->Show(stats, Cursors.Pair());
    Picture1->update();
}

void DataLogPage::MnuClear_Click() {
    Cursors.Clear();
    UpdateReadings();
}

LogPrint::Page DataLogPage::PrintedPage(bool marks) const {
    const bool log = Option3[1]->isChecked();
    const QString stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    LogPrint::Page page;
    page.description =
        log ? QStringLiteral("DESCRIPTION:  ") + OpenLogName : QStringLiteral("DESCRIPTION:");
    page.samplesTime = LogPrint::SamplesTime(ShownSlots().intervalMs);
    page.time =
        QStringLiteral("Time:   ") + (log ? (LogCreated ? LogCreated->toString(stamp) : QString())
                                          : clock_.CurrentDateTime().toString(stamp));
    page.scale = ReadScale();
    const ChartReadout::Slots shown = ShownSlots();
    page.store = shown.store;
    page.intervalMs = shown.intervalMs;
    page.offsetHalfS = shown.offsetHalfS;
    page.normalise = !log;
    if (marks) {
        ChartReadout::Cursors fixed = Cursors;
        fixed.hover.reset(); // the pointer is on the menu, not on a sample
        page.overlay = [fixed, chart = shown](QPainter &p, const ChartScale::Mapping &m) {
            ChartOverlay::Draw(p, m, chart, fixed, std::max(1.0, m.W / 600.0));
        };
        page.caption = Stats->PlainText().split(u'\n');
    }
    return page;
}

void DataLogPage::MnuImage_Click() {
    const bool log = Option3[1]->isChecked();
    const QString preset =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + u'/' +
        (log ? QStringLiteral("Log ") + OpenLogName
             : QStringLiteral("Now ") +
                   clock_.CurrentDateTime().toString(QStringLiteral("yyyy-MM-dd hh-mm-ss")));
    const auto chosen = dialogs_.SaveFileName(QStringLiteral("Save Chart Image"), preset,
                                              ChartImage::Filter(), QStringLiteral("png"));
    if (!chosen)
        return;
    QString path = *chosen;
    ChartImage::FormatOf(path);
    if (QFileInfo::exists(path) &&
        dialogs_.MsgBox(QStringLiteral("File '") + QFileInfo(path).fileName() +
                            QStringLiteral("' already exists. Replace it?"),
                        Dialogs::Buttons::YesNoSafe) == Dialogs::Answer::No)
        return;
    UpdateReadings(); // the caption as the panel shows it now
    try {
        ChartImage::Write(path, PrintedPage(true));
        Tell(QStringLiteral("Chart image saved to %1").arg(QDir::toNativeSeparators(path)));
    } catch (const std::runtime_error &e) {
        dialogs_.MsgBox(QString::fromStdString(e.what()));
    }
}
