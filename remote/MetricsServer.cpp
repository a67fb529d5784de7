#include "MetricsServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// A connection that counts what it reads: past the bound it is closed, whatever it was saying.
class BoundedSocket : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        const qint64 n = QTcpSocket::readData(data, maxSize);
        if (n > 0 && (read_ += n) > MetricsServer::MaxRequestBytes && !closing_) {
            closing_ = true;
            QTimer::singleShot(0, this, &QTcpSocket::abort);
        }
        return n;
    }

private:
    qint64 read_ = 0;
    bool closing_ = false;
};

// Hands the HTTP server its connections while there are few, each with its deadline.
class BoundedServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto *socket = new BoundedSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (open_ >= MetricsServer::MaxClients) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] { --open_; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(MetricsServer::ClientMs, socket, [socket] { socket->abort(); });
        addPendingConnection(socket);
    }

private:
    int open_ = 0;
};

} // namespace

MetricsServer::MetricsServer(Source source, QObject *parent)
    : QAbstractHttpServer(parent), source_(std::move(source)) {}

MetricsServer::~MetricsServer() = default;

QString MetricsServer::Listen(const QHostAddress &address, quint16 port) {
    auto *tcp = new BoundedServer(this);
    tcp->setMaxPendingConnections(MaxClients);
    if (!tcp->listen(address, port)) {
        const QString why = tcp->errorString();
        delete tcp;
        return QStringLiteral("Cannot publish readings on %1 port %2: %3")
            .arg(address.toString())
            .arg(port)
            .arg(why);
    }
    tcp_ = tcp;
    loopback_ = address.isLoopback();
    bind(tcp);
    return {};
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
    if (name == "localhost" || (address.setAddress(QString::fromLatin1(name)) &&
                                address.isLoopback()))
        return {};
    return QStringLiteral("QVR publishes to this computer only: ask for 127.0.0.1, [::1] or "
                          "localhost.");
}

quint16 MetricsServer::Port() const {
    return tcp_ ? tcp_->serverPort() : 0;
}

bool MetricsServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    if (request.url().path() != QLatin1String("/metrics")) {
        responder.write(QByteArray("QVR serves /metrics only.\n"), QByteArray("text/plain"),
                        QHttpServerResponder::StatusCode::NotFound);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        responder.write(QByteArray("Only GET: nothing here can be changed.\n"),
                        {{"Content-Type", "text/plain"}, {"Allow", "GET"}},
                        QHttpServerResponder::StatusCode::MethodNotAllowed);
        return true;
    }
    const QString refused = Refusal(request.value("Host"), request.value("Sec-Fetch-Site"),
                                    loopback_);
    if (!refused.isEmpty()) {
        responder.write(refused.toUtf8() + '\n', QByteArray("text/plain"),
                        QHttpServerResponder::StatusCode::Forbidden);
        return true;
    }
    ++scrapes_;
    const Metrics::Format format = Metrics::Negotiate(request.value("Accept"));
    responder.write(Metrics::Exposition(source_(), format), Metrics::ContentType(format));
    return true;
}

void MetricsServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) {
    makeResponder(request, socket)
        .write(QByteArray("QVR serves /metrics only.\n"), QByteArray("text/plain"),
               QHttpServerResponder::StatusCode::NotFound);
}
