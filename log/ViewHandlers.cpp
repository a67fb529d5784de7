// The Data Log page's view: Now or Log, the mouse modes with their pointers, drags on the chart
// and the chart menu.
#include "ChartSurface.h"
#include "DataLogPage.h"
#include "Module1.h"

#include <QFrame>
#include <QPainter>
#include <QPainterPath>

using namespace Module1;

namespace {

// Pointer images drawn at twice their size, so they stay sharp on dense screens.
QCursor DrawnCursor(bool zoom) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (zoom) {
        path.addEllipse(QPointF(26, 26), 17, 17);
        path.moveTo(38, 38);
        path.lineTo(58, 58);
        path.moveTo(17, 26);
        path.lineTo(35, 26);
        path.moveTo(26, 17);
        path.lineTo(26, 35);
    } else {
        const QPointF c(32, 32);
        for (int turn = 0; turn < 4; ++turn) {
            QTransform t;
            t.translate(c.x(), c.y());
            t.rotate(90 * turn);
            path.addPolygon(t.map(QPolygonF({{0, -28}, {-9, -17}, {9, -17}, {0, -28}})));
            path.moveTo(t.map(QPointF(0, -17)));
            path.lineTo(t.map(QPointF(0, 0)));
        }
    }
    for (const auto &[colour, width] : {std::pair{QColor(Qt::white), 9.0}, {Qt::black, 4.0}}) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    p.end();
    pixmap.setDevicePixelRatio(2);
    return zoom ? QCursor(pixmap, 13, 13) : QCursor(pixmap, 16, 16);
}

} // namespace

void DataLogPage::BuildMenu() {
    ChartMenu = new QMenu(this);
    ChartMenu->setObjectName(QStringLiteral("ChartMenu"));
    auto item = [this](QAction *&action, const QString &name, const QString &caption,
                       void (DataLogPage::*handler)(), bool checkable = false) {
        action = ChartMenu->addAction(caption);
        action->setObjectName(name);
        action->setCheckable(checkable);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
    };
    item(MnuNow, "MnuNow", "Now", &DataLogPage::MnuNow_Click, true);
    item(MnuLog, "MnuLog", "Log", &DataLogPage::MnuLog_Click, true);
    ChartMenu->addSeparator();
    item(MnuMove, "MnuMove", "Move", &DataLogPage::MnuMove_Click);
    item(MnuZoom, "MnuZoom", "Zoom", &DataLogPage::MnuZoom_Click);
    item(MnuExit, "MnuExit", "Cancel move or zoom", &DataLogPage::MnuExit_Click);
    ChartMenu->addSeparator();
    // The check marks toggle themselves.
    item(MnuVolt, "MnuVolt", "Voltage (move or zoom)", nullptr, true);
    item(MnuCurr, "MnuCurr", "Current (move or zoom)", nullptr, true);
    item(MnuTime, "MnuTime", "Time (move or zoom)", nullptr, true);
    MnuTime->setChecked(true); // Move and Zoom act on something from the first drag
    ChartMenu->addSeparator();
    item(MnuSave, "MnuSave", "Save Log", &DataLogPage::MnuSave_Click);
    item(MnuDele, "MnuDele", "Delete Log", &DataLogPage::MnuDele_Click);
    item(MnuExport, "MnuExport", "Export", &DataLogPage::MnuExport_Click);
    item(MnuPrin, "MnuPrin", "Print Now or Log", &DataLogPage::MnuPrin_Click);
    ChartMenu->addSeparator();
    item(MnuDefa, "MnuDefa", "Default", &DataLogPage::MnuDefa_Click);

    connect(
        Picture1, &ChartSurface::mouse, this,
        [this](QEvent::Type type, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, QPoint at) {
            const int button = (buttons & Qt::LeftButton ? 1 : 0) |
                               (buttons & Qt::RightButton ? 2 : 0) |
                               (buttons & Qt::MiddleButton ? 4 : 0);
            const int shift = (mods & Qt::ShiftModifier ? 1 : 0) |
                              (mods & Qt::ControlModifier ? 2 : 0) |
                              (mods & Qt::AltModifier ? 4 : 0);
            if (type == QEvent::MouseButtonPress)
                Picture1_MouseDown(button, shift, at.x(), at.y());
            else if (type == QEvent::MouseMove)
                Picture1_MouseMove(button, shift, at.x(), at.y());
            else if (type == QEvent::MouseButtonRelease)
                Picture1_MouseUp(button, shift, at.x(), at.y());
        });
}

void DataLogPage::MnuNow_Click() {
    Option3[0]->setChecked(true);
}

void DataLogPage::MnuLog_Click() {
    Option3[1]->setChecked(true);
}

void DataLogPage::MnuMove_Click() {
    ToolButton(1)->setEnabled(false);
    ToolButton(2)->setEnabled(true);
    ShowMouseMode();
}

void DataLogPage::MnuZoom_Click() {
    ToolButton(2)->setEnabled(false);
    ToolButton(1)->setEnabled(true);
    ShowMouseMode();
}

void DataLogPage::MnuExit_Click() {
    ToolButton(1)->setEnabled(true);
    ToolButton(2)->setEnabled(true);
    ShowMouseMode();
}

void DataLogPage::ShowMouseMode() {
    // The page and the chart show the mode's pointer; the fields, the toolbar and the page
    // captions keep the arrow.
    static const QCursor move = DrawnCursor(false), zoom = DrawnCursor(true);
    if (MoveMode() || ZoomMode()) {
        setCursor(MoveMode() ? move : zoom);
        Picture1->setCursor(MoveMode() ? move : zoom);
    } else {
        unsetCursor();
        Picture1->unsetCursor();
    }
    side_->setCursor(Qt::ArrowCursor);
    Toolbar1->setCursor(Qt::ArrowCursor);
}

LogView::Axes DataLogPage::MarkedAxes() const {
    return {MnuVolt->isChecked(), MnuCurr->isChecked(), MnuTime->isChecked()};
}

void DataLogPage::Picture1_MouseDown(int, int, int x, int y) {
    mouseDown_ = true;
    anchor_ = QPointF(x, y);
}

void DataLogPage::Picture1_MouseMove(int, int, int x, int y) {
    if (!mouseDown_ || !(MoveMode() || ZoomMode()))
        return;
    const double divX = Picture1->ScaleWidth() / 10.0, divY = Picture1->ScaleHeight() / 10.0;
    ChartScale::Scale s = ReadScale();
    bool stepped = false;
    // A fast drag crosses several divisions between two events: one step for each.
    for (;;) {
        const double dx = (x - anchor_.x()) / divX, dy = (y - anchor_.y()) / divY;
        const LogView::Anchor moved =
            MoveMode() ? LogView::MoveStep(s, MarkedAxes(), dx, dy)
                       : LogView::ZoomStep(s, MarkedAxes(), dy, Connected, MaxVolt, MaxCurr);
        if (moved.x == 0 && moved.y == 0)
            break;
        anchor_ += QPointF(moved.x * divX, moved.y * divY);
        stepped = true;
    }
    if (!stepped)
        return;
    ShowScale(s);
    RedrawByMode();
}

void DataLogPage::Picture1_MouseUp(int button, int, int x, int y) {
    mouseDown_ = false;
    if (button != 2)
        return;
    MnuNow->setChecked(Option3[0]->isChecked());
    MnuLog->setChecked(Option3[1]->isChecked());
    MnuLog->setEnabled(Option3[1]->isEnabled());
    MnuMove->setEnabled(ToolButton(1)->isEnabled());
    MnuZoom->setEnabled(ToolButton(2)->isEnabled());
    MnuSave->setEnabled(ToolButton(3)->isEnabled());
    MnuDele->setEnabled(ToolButton(4)->isEnabled());
    MnuExport->setText(Option3[1]->isChecked() ? QStringLiteral("Export Log")
                                               : QStringLiteral("Export Now"));
    ChartMenu->popup(Picture1->mapToGlobal(QPoint(x, y)));
}
