#include "MetricsServer.h"

#include <QMetaObject>
#include <QTcpServer>
#include <chrono>
#include <civetweb.h>
#include <cstring>
#include <future>
#include <memory>

namespace {

// One whole reply; the connection closes after it (no keep-alive: a client is one request).
int Reply(mg_connection *c, int status, const char *reason, const QByteArray &type,
          const QByteArray &body, const char *extra = "") {
    mg_printf(c,
              "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n%sConnection: "
              "close\r\n\r\n",
              status, reason, type.constData(), int(body.size()), extra);
    mg_write(c, body.constData(), size_t(body.size()));
    return status;
}

QByteArray Header(mg_connection *c, const char *name) {
    const char *value = mg_get_header(c, name);
    return value ? QByteArray(value) : QByteArray();
}

} // namespace

MetricsServer::MetricsServer(Source source, QObject *parent)
    : QObject(parent), source_(std::move(source)) {
    mg_init_library(0);
}

MetricsServer::~MetricsServer() {
    stopping_ = true; // a worker waiting for the window's readings gives up at once
    if (context_)
        mg_stop(context_);
    mg_exit_library();
}

QString MetricsServer::Listen(const QHostAddress &address, quint16 port) {
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    const QByteArray where = (v6 ? '[' + address.toString().toLatin1() + ']'
                                 : address.toString().toLatin1()) +
                             ':' + QByteArray::number(port);
    const QByteArray workers = QByteArray::number(Workers),
                     queue = QByteArray::number(MaxClients),
                     timeout = QByteArray::number(ClientMs),
                     request = QByteArray::number(MaxRequestBytes);
    // No document root: civetweb serves no file and runs nothing; every path comes to Handle.
    const char *options[] = {"listening_ports", where.constData(),
                             "num_threads", workers.constData(),
                             "connection_queue", queue.constData(),
                             "request_timeout_ms", timeout.constData(),
                             "max_request_size", request.constData(),
                             "enable_keep_alive", "no",
                             "enable_directory_listing", "no",
                             nullptr};
    mg_callbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.log_message = [](const mg_connection *, const char *) { return 1; }; // quiet
    mg_init_data init{&callbacks, this, options};
    char why[256] = "";
    unsigned code = 0;
    mg_error_data error{&code, why, sizeof why};
    const auto refused = [&](const QString &reason) {
        return QStringLiteral("Cannot publish readings on %1 port %2: %3")
            .arg(address.toString())
            .arg(port)
            .arg(reason);
    };
    if (v6 && !mg_check_feature(8))
        return refused(QStringLiteral("this QVR's web server has no IPv6; give an IPv4 address, "
                                      "such as 127.0.0.1."));
    loopback_ = address.isLoopback(); // before any worker reads it
    context_ = mg_start2(&init, &error);
    if (!context_) {
        // civetweb says only that it could not listen: the system's own reason, asked again.
        QTcpServer probe;
        return refused(probe.listen(address, port) ? QString::fromLocal8Bit(why).trimmed()
                                                   : probe.errorString());
    }
    last_ = source_(); // for a first scrape that finds the window busy
    mg_set_request_handler(context_, "/", &MetricsServer::Handle, this);
    mg_server_port bound{};
    if (mg_get_server_ports(context_, 1, &bound) == 1)
        port_ = quint16(bound.port);
    return {};
}

// On a civetweb worker.
int MetricsServer::Handle(mg_connection *c, void *self) {
    auto *server = static_cast<MetricsServer *>(self);
    const mg_request_info *request = mg_get_request_info(c);
    if (!request->local_uri || std::strcmp(request->local_uri, "/metrics") != 0)
        return Reply(c, 404, "Not Found", "text/plain", "QVR serves /metrics only.\n");
    if (std::strcmp(request->request_method, "GET") != 0)
        return Reply(c, 405, "Method Not Allowed", "text/plain",
                     "Only GET: nothing here can be changed.\n", "Allow: GET\r\n");
    const QString refused =
        Refusal(Header(c, "Host"), Header(c, "Sec-Fetch-Site"), server->loopback_);
    if (!refused.isEmpty())
        return Reply(c, 403, "Forbidden", "text/plain", refused.toUtf8() + '\n');
    ++server->scrapes_;
    const Metrics::Format format = Metrics::Negotiate(Header(c, "Accept"));
    return Reply(c, 200, "OK", Metrics::ContentType(format),
                 Metrics::Exposition(server->Current(), format));
}

Metrics::Snapshot MetricsServer::Current() {
    auto asked = std::make_shared<std::promise<Metrics::Snapshot>>();
    std::future<Metrics::Snapshot> answer = asked->get_future();
    QMetaObject::invokeMethod(
        this, [this, asked] { asked->set_value(source_()); }, Qt::QueuedConnection);
    for (int waited = 0; waited < AskMs && !stopping_; waited += 20) {
        if (answer.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready) {
            const std::lock_guard<std::mutex> hold(lastMutex_);
            last_ = answer.get();
            return last_;
        }
    }
    const std::lock_guard<std::mutex> hold(lastMutex_);
    return last_; // the window is busy (a long exchange with the supply): what it last gave
}

QString MetricsServer::Refusal(const QByteArray &host, const QByteArray &fetchSite,
                               bool loopback) {
    const QByteArray site = fetchSite.trimmed().toLower();
    if (!site.isEmpty() && site != "none" && site != "same-origin")
        return QStringLiteral("QVR's readings are for scrapers, not for other web pages.");
    if (!loopback || host.isEmpty()) // a client without a Host is no browser
        return {};
    // The name without its port: "[::1]:9725" -> "[::1]", "localhost:9725" -> "localhost".
    QByteArray name = host.trimmed().toLower();
    const qsizetype colon = name.lastIndexOf(':');
    if (colon > name.lastIndexOf(']'))
        name.truncate(colon);
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    QHostAddress address;
    if (name == "localhost" ||
        (address.setAddress(QString::fromLatin1(name)) && address.isLoopback()))
        return {};
    return QStringLiteral("QVR publishes to this computer only: ask for 127.0.0.1, [::1] or "
                          "localhost.");
}
