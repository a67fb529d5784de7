// The Data Log page's view: Now or Log, the mouse modes with their pointers, drags on the chart
// and the chart menu.
#include "ChartSurface.h"
#include "DataLogPage.h"
#include "Module1.h"

using namespace Module1;

void DataLogPage::ConnectCommands() {
    for (int i = 1; i <= 6; ++i)
        connect(ToolButton(i), &QAction::triggered, this, [this, i] { Toolbar1_ButtonClick(i); });
    for (const auto &[action, handler] : {
             std::pair{MnuNow, &DataLogPage::MnuNow_Click},
             {MnuLog, &DataLogPage::MnuLog_Click},
             {MnuMove, &DataLogPage::MnuMove_Click},
             {MnuZoom, &DataLogPage::MnuZoom_Click},
             {MnuExit, &DataLogPage::MnuExit_Click},
             {MnuSave, &DataLogPage::MnuSave_Click},
             {MnuDele, &DataLogPage::MnuDele_Click},
             {MnuExport, &DataLogPage::MnuExport_Click},
             {MnuPrin, &DataLogPage::MnuPrin_Click},
             {MnuDefa, &DataLogPage::MnuDefa_Click},
             {MnuClear, &DataLogPage::MnuClear_Click},
             {MnuImage, &DataLogPage::MnuImage_Click},
             {MnuRecord, &DataLogPage::MnuRecord_Click},
         })
        connect(action, &QAction::triggered, this, handler);

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
    Commands->SetMode(ChartCommands::Mode::Move);
    ShowMouseMode();
}

void DataLogPage::MnuZoom_Click() {
    Commands->SetMode(ChartCommands::Mode::Zoom);
    ShowMouseMode();
}

void DataLogPage::MnuExit_Click() {
    Commands->SetMode(ChartCommands::Mode::None);
    ShowMouseMode();
}

void DataLogPage::ShowMouseMode() {
    // The fields, the toolbar and the page captions keep the arrow.
    Commands->ShowMode(this, Picture1, {Side, Toolbar1});
}

void DataLogPage::Picture1_MouseDown(int, int, int x, int y) {
    mouseDown_ = true;
    anchor_ = QPointF(x, y);
}

void DataLogPage::Picture1_MouseMove(int, int, int x, int y) {
    if (!(MoveMode() || ZoomMode())) { // the arrow pointer: the hover readout
        Cursors.hover = ChartReadout::SlotAt(ShownSlots(), ShownMapping(), x);
        Picture1->update();
        return;
    }
    if (!mouseDown_)
        return;
    const double divX = Picture1->ScaleWidth() / 10.0, divY = Picture1->ScaleHeight() / 10.0;
    ChartScale::Scale s = ReadScale();
    bool stepped = false;
    // A fast drag crosses several divisions between two events: one step for each.
    for (;;) {
        const double dx = (x - anchor_.x()) / divX, dy = (y - anchor_.y()) / divY;
        const LogView::Anchor moved =
            MoveMode()
                ? LogView::MoveStep(s, Commands->MarkedAxes(), dx, dy)
                : LogView::ZoomStep(s, Commands->MarkedAxes(), dy, Connected, MaxVolt, MaxCurr);
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
    if (button == 1 && !MoveMode() && !ZoomMode()) {
        if (const auto slot = ChartReadout::SlotAt(ShownSlots(), ShownMapping(), x)) {
            Cursors.Click(*slot);
            UpdateReadings();
        }
        return;
    }
    if (button != 2)
        return;
    Commands->PopUp({Option3[0]->isChecked(), Option3[1]->isChecked(), Option3[1]->isEnabled()},
                    Picture1->mapToGlobal(QPoint(x, y)));
}
