// A widget's events handled by a function of whoever watches it, instead of an override in the
// watcher: the handling stays beside the handlers it calls.
#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

class EventHook : public QObject {
public:
    // True from `handler` swallows the event.
    using Handler = std::function<bool(QObject *watched, QEvent *event)>;
    EventHook(QObject *watched, Handler handler) : QObject(watched), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override { return handler_(watched, event); }

private:
    Handler handler_;
};
