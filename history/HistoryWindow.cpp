#include "HistoryWindow.h"

#include "ChartImage.h"
#include "Dialogs.h"
#include "StatsPanel.h"
#include "StretchExport.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <stdexcept>

namespace History {

HistoryWindow *HistoryWindow::Open(const QString &path, Dialogs &dialogs, QString &error) {
    auto run = std::make_unique<RecordedRun>();
    try {
        run->Open(path);
    } catch (const std::runtime_error &e) {
        error = QString::fromStdString(e.what());
        return nullptr;
    }
    return new HistoryWindow(std::move(run), dialogs);
}

QStringList HistoryWindow::Dropped(const QMimeData *mime) {
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile() && url.toLocalFile().endsWith(u".csv", Qt::CaseInsensitive))
                paths << url.toLocalFile();
    return paths;
}

HistoryWindow::HistoryWindow(std::unique_ptr<RecordedRun> run, Dialogs &dialogs)
    : run_(std::move(run)), dialogs_(dialogs) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(run_->Name() + QStringLiteral(" - QVR"));
    resize(1100, 700);

    QToolBar *bar = addToolBar(QStringLiteral("Recording"));
    bar->setObjectName(QStringLiteral("RecordingBar"));
    bar->setMovable(false);
    // Each with a key too: a toolbar is not in the keyboard's way round the window.
    const auto action = [&](const char *name, const QString &text, const QString &tip,
                            const QKeySequence &key) {
        QAction *a = bar->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setToolTip(key.isEmpty() ? tip
                                    : tip + QStringLiteral(" (") +
                                          key.toString(QKeySequence::NativeText) + u')');
        return a;
    };
    OpenRecording = action("OpenRecording", QStringLiteral("Open Recording..."),
                           QStringLiteral("Open another recording in a window of its own"),
                           QKeySequence::Open);
    bar->addSeparator();
    WholeRun = action("WholeRun", QStringLiteral("Whole Run"),
                      QStringLiteral("Show the whole recording (Home on the chart)"), {});
    FixedScales = action("FixedScales", QStringLiteral("Fixed Scales"),
                         QStringLiteral("Keep the scales of the whole run while zooming"),
                         Qt::CTRL | Qt::Key_L);
    FixedScales->setCheckable(true);
    bar->addSeparator();
    SaveStretch = action("SaveStretch", QStringLiteral("Save Stretch..."),
                         QStringLiteral("Save the lines between the cursors (or of the view) as CSV"),
                         QKeySequence::Save);
    SaveImage = action("SaveChartImage", QStringLiteral("Save Chart Image..."),
                       QStringLiteral("Save the chart as shown as PNG, SVG or PDF"),
                       Qt::CTRL | Qt::Key_I);

    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    auto *left = new QVBoxLayout;
    left->setSpacing(2);
    chart_ = new HistoryChart(*run_, central);
    overview_ = new HistoryOverview(*run_, *chart_, central);
    left->addWidget(chart_, 1);
    left->addWidget(overview_);
    row->addLayout(left, 1);
    auto *side = new QVBoxLayout;
    stats_ = new StatsPanel(central);
    side->addWidget(stats_);
    auto *caption = new QLabel(QStringLiteral("&Events"), central);
    events_ = new QListWidget(central);
    events_->setObjectName(QStringLiteral("Events"));
    events_->setUniformItemSizes(true); // thousands of lines stay quick
    events_->setMinimumWidth(260);
    caption->setBuddy(events_);
    side->addWidget(caption);
    side->addWidget(events_, 1);
    row->addLayout(side);
    setCentralWidget(central);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("Status"));
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    connect(OpenRecording, &QAction::triggered, this, [this] {
        const QStringList paths = dialogs_.OpenFileNames(
            QStringLiteral("Open Recording"), QFileInfo(run_->Path()).absolutePath(), Filter());
        if (!paths.isEmpty())
            emit OpenRequested(paths);
    });
    connect(WholeRun, &QAction::triggered, chart_, &HistoryChart::ShowWhole);
    connect(FixedScales, &QAction::toggled, chart_, &HistoryChart::SetFixedScales);
    connect(SaveStretch, &QAction::triggered, this, &HistoryWindow::saveStretch);
    connect(SaveImage, &QAction::triggered, this, &HistoryWindow::saveImage);
    connect(chart_, &HistoryChart::ViewChanged, this, &HistoryWindow::refresh);
    connect(chart_, &HistoryChart::CursorsChanged, this, &HistoryWindow::refresh);
    // An event picked in the list: the view centred on it, as wide as it was.
    connect(events_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || size_t(row) >= run_->Events().size())
            return;
        const double t = run_->Events()[size_t(row)].t, half = (chart_->T1() - chart_->T0()) / 2;
        chart_->SetView(t - half, t + half);
    });
    addEvents(0);
    refresh();
    follow_.setInterval(FollowMs);
    connect(&follow_, &QTimer::timeout, this, &HistoryWindow::FollowNow);
    follow_.start();
    chart_->setFocus();
}

void HistoryWindow::addEvents(size_t from) {
    const auto &events = run_->Events();
    events_->setUpdatesEnabled(false);
    for (size_t k = from; k < events.size(); ++k) {
        const Event &e = events[k];
        const QString when = ClockText(run_->FirstMs(), e.t, run_->OffsetAt(e.t),
                                       QStringLiteral("d MMM hh:mm:ss"));
        events_->addItem(when + QStringLiteral("  ") + QString(e.text).replace(u'\n', u' '));
    }
    events_->setUpdatesEnabled(true);
}

QString HistoryWindow::StatusText() const {
    const SampleColumns &s = run_->Samples();
    const auto when = [this](double t) {
        return ClockText(run_->FirstMs(), t, run_->OffsetAt(t),
                         QStringLiteral("ddd d MMM yyyy hh:mm:ss"));
    };
    qint64 gaps = 0;
    if (s.Size())
        gaps = s.Cumulative(s.Size()).gaps;
    QString text = QStringLiteral("%1 samples and %2 gaps from %3 to %4")
                       .arg(s.Size() - gaps)
                       .arg(gaps)
                       .arg(when(0), when(run_->EndT()));
    if (const QString problems = run_->Problems(); !problems.isEmpty())
        text += QStringLiteral(". ") + problems;
    if (!trouble_.isEmpty())
        text += QStringLiteral(". ") + trouble_;
    return text;
}

void HistoryWindow::refresh() {
    stats_->Show(chart_->Stats(), chart_->BetweenCursors());
    status_->setText(StatusText());
    overview_->update();
}

void HistoryWindow::FollowNow() {
    const size_t events = run_->Events().size();
    try {
        if (!run_->Follow())
            return;
    } catch (const std::runtime_error &) {
        // Replaced or cut: read it anew, from its first line.
        try {
            run_->Open(run_->Path());
            events_->clear();
            trouble_.clear();
            chart_->SetCursors(std::nullopt, std::nullopt);
            chart_->ShowWhole();
            addEvents(0);
        } catch (const std::runtime_error &e) {
            trouble_ = QString::fromStdString(e.what());
            follow_.stop();
        }
        chart_->RunGrew();
        refresh();
        return;
    }
    addEvents(events);
    chart_->RunGrew();
    refresh();
}

bool HistoryWindow::mayReplace(const QString &path) {
    return !QFileInfo::exists(path) ||
           dialogs_.MsgBox(QStringLiteral("File '") + QFileInfo(path).fileName() +
                               QStringLiteral("' already exists. Replace it?"),
                           Dialogs::Buttons::YesNoSafe) != Dialogs::Answer::No;
}

void HistoryWindow::saveStretch() {
    const QFileInfo source(run_->Path());
    const auto chosen = dialogs_.SaveFileName(
        QStringLiteral("Save Stretch"),
        source.absolutePath() + u'/' + source.completeBaseName() + QStringLiteral(" stretch.csv"),
        QStringLiteral("CSV file (*.csv)"), QStringLiteral("csv"));
    if (!chosen || !mayReplace(*chosen))
        return;
    const auto [from, to] = chart_->Stretch();
    try {
        const qint64 lines = WriteStretch(*run_, *chosen, from, to);
        statusBar()->showMessage(QStringLiteral("%1 lines saved to %2")
                                     .arg(lines)
                                     .arg(QDir::toNativeSeparators(*chosen)),
                                 8000);
    } catch (const std::runtime_error &e) {
        dialogs_.MsgBox(QString::fromStdString(e.what()));
    }
}

void HistoryWindow::saveImage() {
    const QFileInfo source(run_->Path());
    const auto chosen = dialogs_.SaveFileName(
        QStringLiteral("Save Chart Image"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + u'/' +
            source.completeBaseName(),
        ChartImage::Filter(), QStringLiteral("png"));
    if (!chosen)
        return;
    QString path = *chosen;
    ChartImage::FormatOf(path);
    if (!mayReplace(path))
        return;
    Scene scene = chart_->SceneNow();
    scene.hover.reset(), scene.pointerT.reset(), scene.event.reset(), scene.selection.reset();
    const QString title = run_->Name();
    const QString stats = stats_->PlainText();
    try {
        ChartImage::Write(path, title, QSize(1600, 1000), [&](QPainter &p, const QRect &area) {
            QFont font = p.font();
            font.setPixelSize(std::max(12, area.height() / 60));
            p.setFont(font);
            const int line = p.fontMetrics().height();
            p.setPen(Qt::black);
            p.drawText(area.topLeft() + QPoint(0, p.fontMetrics().ascent()), title);
            const int statsRows = int(stats.count(u'\n')) + 1;
            const int statsH = (statsRows + 1) / 2 * line + line;
            const QRect chart(area.left(), area.top() + line * 3 / 2, area.width(),
                              area.height() - statsH - line * 3 / 2);
            Draw(p, chart, scene);
            // The statistics beneath, in two columns.
            const QStringList rows = stats.split(u'\n');
            const int half = int(rows.size() + 1) / 2;
            p.setPen(Qt::black);
            for (int k = 0; k < rows.size(); ++k)
                p.drawText(QPoint(area.left() + (k < half ? 0 : area.width() / 2),
                                  chart.bottom() + line + (k % half) * line +
                                      p.fontMetrics().ascent()),
                           rows[k]);
        });
        statusBar()->showMessage(
            QStringLiteral("Chart image saved to %1").arg(QDir::toNativeSeparators(path)), 8000);
    } catch (const std::runtime_error &e) {
        dialogs_.MsgBox(QString::fromStdString(e.what()));
    }
}

void HistoryWindow::dragEnterEvent(QDragEnterEvent *e) {
    if (!Dropped(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void HistoryWindow::dropEvent(QDropEvent *e) {
    if (const QStringList paths = Dropped(e->mimeData()); !paths.isEmpty()) {
        e->acceptProposedAction();
        emit OpenRequested(paths);
    }
}

QList<HistoryWindow *> OpenRecordings(Dialogs &dialogs, QStringList paths, QStringList *errors) {
    if (paths.isEmpty())
        paths = dialogs.OpenFileNames(
            QStringLiteral("Open Recording"),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
            HistoryWindow::Filter());
    QList<HistoryWindow *> opened;
    QStringList failed;
    for (const QString &path : paths) {
        QString error;
        if (HistoryWindow *w = HistoryWindow::Open(path, dialogs, error)) {
            QObject::connect(w, &HistoryWindow::OpenRequested, w,
                             [&dialogs](const QStringList &more) { OpenRecordings(dialogs, more); });
            w->show();
            opened << w;
        } else {
            failed << error;
        }
    }
    if (errors)
        *errors << failed;
    else if (!failed.isEmpty())
        dialogs.MsgBox(failed.join(u'\n'), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    return opened;
}

} // namespace History
