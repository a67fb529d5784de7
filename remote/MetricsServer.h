// The monitoring endpoint: GET /metrics in the Prometheus text format (OpenMetrics when the
// scraper asks), served by Qt HTTP Server on the address the operator chose. Read-only: no
// request changes anything. Any other method or path is refused, and a client is bounded: a few
// at a time, a request of a few kilobytes, a few seconds each, so none can hold the window.
#pragma once

#include "Metrics.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <functional>

class QTcpServer;

class MetricsServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    using Source = std::function<Metrics::Snapshot()>;
    explicit MetricsServer(Source source, QObject *parent = nullptr);
    ~MetricsServer() override;

    // Listens on `address`:`port` (0: any free port); the reason when it cannot.
    QString Listen(const QHostAddress &address, quint16 port);
    quint16 Port() const;
    quint64 Scrapes() const { return scrapes_; }

    // Why a request is refused for where it comes from, "" when it is not. A web page in a
    // browser on this computer is a client too: one of another site is refused by the browser's
    // Sec-Fetch-Site, and one that renamed itself to this computer's address (DNS rebinding) by
    // its Host, which on a loopback endpoint must be a loopback name. An endpoint on another
    // address is the operator's choice to be reached by any name.
    static QString Refusal(const QByteArray &host, const QByteArray &fetchSite, bool loopback);

    static constexpr int MaxClients = 16;         // connections at once; more are closed at once
    static constexpr int ClientMs = 5000;         // a connection's whole life
    static constexpr qint64 MaxRequestBytes = 16384; // what one connection may send

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    Source source_;
    QTcpServer *tcp_ = nullptr;
    bool loopback_ = true;
    quint64 scrapes_ = 0;
};
