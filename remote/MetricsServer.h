// The monitoring endpoint: GET /metrics in the Prometheus text format (OpenMetrics when the
// scraper asks), served by civetweb on the address the operator chose. Read-only: no request
// changes anything. Any other method or path is refused, and clients are bounded: a few at a
// time, a request of a few kilobytes, a few seconds each. They are served on civetweb's own
// threads, so none can hold the window; the readings are asked of the window's thread, with
// the last ones given when it is busy.
#pragma once

#include "Metrics.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

struct mg_connection;
struct mg_context;

class MetricsServer : public QObject {
    Q_OBJECT
public:
    using Source = std::function<Metrics::Snapshot()>; // called on the window's thread
    explicit MetricsServer(Source source, QObject *parent = nullptr);
    ~MetricsServer() override; // stops listening before it returns

    // Listens on `address`:`port` (0: any free port); the reason when it cannot.
    QString Listen(const QHostAddress &address, quint16 port);
    quint16 Port() const { return port_; }
    quint64 Scrapes() const { return scrapes_; }

    // Why a request is refused for where it comes from, "" when it is not. A web page in a
    // browser on this computer is a client too: one of another site is refused by the browser's
    // Sec-Fetch-Site, and one that renamed itself to this computer's address (DNS rebinding) by
    // its Host, which on a loopback endpoint must be a loopback name. An endpoint on another
    // address is the operator's choice to be reached by any name.
    static QString Refusal(const QByteArray &host, const QByteArray &fetchSite, bool loopback);

    static constexpr int Workers = 8;             // requests served at once
    static constexpr int MaxClients = 16;         // connections waiting for a worker
    static constexpr int ClientMs = 5000;         // to send a whole request
    static constexpr qint64 MaxRequestBytes = 16384; // a request's line and headers
    static constexpr int AskMs = 1000;            // the window's time to give its readings

private:
    static int Handle(mg_connection *connection, void *self);
    Metrics::Snapshot Current(); // on a worker: the window's readings, or the last ones

    Source source_;
    mg_context *context_ = nullptr;
    quint16 port_ = 0;
    bool loopback_ = true;
    std::atomic<quint64> scrapes_{0};
    std::atomic<bool> stopping_{false};
    std::mutex lastMutex_;
    Metrics::Snapshot last_;
};
