// The Data Log page's commands: the toolbar, the chart menu of a right click, and the mouse mode
// (Move, Zoom or none) with its pointer. The page connects the commands to its handlers.
#pragma once

#include "LogView.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <array>

class ChartCommands : public QObject {
    Q_OBJECT
public:
    explicit ChartCommands(QWidget *page);

    QToolBar *Toolbar1 = nullptr;
    // 1 "Move" .. 5 "Print Log", 6 "Record..." (checked while recording)
    QAction *ToolButton(int i) const { return tools_[size_t(i - 1)]; }
    QMenu *ChartMenu = nullptr;
    QAction *MnuNow = nullptr, *MnuLog = nullptr, *MnuMove = nullptr, *MnuZoom = nullptr,
            *MnuExit = nullptr, *MnuVolt = nullptr, *MnuCurr = nullptr, *MnuTime = nullptr,
            *MnuSave = nullptr, *MnuDele = nullptr, *MnuExport = nullptr, *MnuPrin = nullptr,
            *MnuDefa = nullptr, *MnuClear = nullptr, *MnuImage = nullptr, *MnuRecord = nullptr;
    // "Open Recording...": a recording read back in a window of its own (the menu's item
    // triggers the toolbar's); the window that owns the page opens it.
    QAction *OpenRecording = nullptr, *MnuOpenRec = nullptr;

    // The mouse mode lives in the enabled states of "Move" and "Zoom".
    bool MoveMode() const { return !ToolButton(1)->isEnabled(); }
    bool ZoomMode() const { return !ToolButton(2)->isEnabled(); }
    enum class Mode { None, Move, Zoom };
    void SetMode(Mode mode);
    // The page and the chart show the mode's pointer; `arrows` keep the arrow.
    void ShowMode(QWidget *page, QWidget *chart, const QList<QWidget *> &arrows) const;
    LogView::Axes MarkedAxes() const;

    // The menu brought up to date with the page's choice and buttons, then shown at `global`.
    struct Choice {
        bool now = true, log = false, logEnabled = false;
    };
    void PopUp(const Choice &choice, QPoint global);

private:
    std::array<QAction *, 6> tools_{};
};
