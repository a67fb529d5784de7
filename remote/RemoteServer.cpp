#include "RemoteServer.h"

#include "PeerCheck.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

RemoteServer::RemoteServer(Supply &supply, QString version, QObject *parent)
    : QObject(parent), supply_(supply), version_(std::move(version)) {
    connect(&v4_, &QTcpServer::newConnection, this, [this] { Accept(v4_); });
    connect(&v6_, &QTcpServer::newConnection, this, [this] { Accept(v6_); });
}

QString RemoteServer::Listen(quint16 port) {
    Close();
    // 127.0.0.1 must be ours: scripts that reach another program there would drive nothing.
    // ::1 follows on the same port where the machine has it (port 0 asks for any free one).
    if (!v4_.listen(QHostAddress::LocalHost, port))
        return v4_.errorString();
    v6_.listen(QHostAddress::LocalHostIPv6, v4_.serverPort());
    port_ = v4_.serverPort();
    emit clientsChanged();
    return {};
}

void RemoteServer::Close() {
    v4_.close();
    v6_.close();
    while (!clients_.empty())
        Drop(clients_.front().socket, QStringLiteral("remote control off"));
    port_ = 0;
    emit clientsChanged();
}

QString RemoteServer::Status() const {
    if (!Listening())
        return {};
    return QStringLiteral("Remote: port %1, %2 script%3")
        .arg(port_)
        .arg(clients_.size())
        .arg(clients_.size() == 1 ? QString() : QStringLiteral("s"));
}

bool RemoteServer::SameUser(const QTcpSocket &socket) {
#ifdef Q_OS_LINUX
    QByteArray tables;
    for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly))
            tables += f.readAll(); // a virtual file: its size is 0 until read
    }
    const auto uid = PeerCheck::ClientUid(tables, socket.localPort(), socket.peerPort());
    return uid && *uid == unsigned(getuid());
#else
    Q_UNUSED(socket);
    // Loopback only. Windows (the one other system built) has no such table to read: a client
    // of another user signed in to the same machine at the same time is not told apart there.
    return true;
#endif
}

void RemoteServer::Accept(QTcpServer &server) {
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        const quint16 from = socket->peerPort();
        if (int(clients_.size()) >= MaxClients || !SameUser(*socket)) {
            emit happened(int(clients_.size()) >= MaxClients
                           ? QStringLiteral("script from port %1 refused: %2 connected already")
                                 .arg(from)
                                 .arg(MaxClients)
                           : QStringLiteral("script from port %1 refused: another user's")
                                 .arg(from));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        // Qt reads no further than this ahead: a flood stays in the kernel, which slows the
        // sender, instead of in our memory.
        socket->setReadBufferSize(64 * 1024);
        // And the kernel keeps little of what the client has not read, so that MaxPending is
        // what bounds a client that stops reading.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
        clients_.push_back(Client{socket, {}, false, false, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client *c = Find(socket))
                Serve(*c);
        });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { Drop(socket, QStringLiteral("left")); });
        emit happened(QStringLiteral("script connected from port %1").arg(from));
        emit clientsChanged();
    }
}

RemoteServer::Client *RemoteServer::Find(QTcpSocket *socket) {
    for (Client &c : clients_)
        if (c.socket == socket)
            return &c;
    return nullptr;
}

void RemoteServer::Drop(QTcpSocket *socket, const QString &why) {
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
        if (it->socket != socket)
            continue;
        const quint16 from = socket->peerPort();
        clients_.erase(it);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        emit happened(QStringLiteral("script from port %1 %2").arg(from).arg(why));
        emit clientsChanged();
        return;
    }
}

void RemoteServer::Serve(Client &c) {
    const QPointer<QTcpSocket> socket = c.socket;
    // A turn ends after a few lines or as soon as they took a poll's time (readings, settings):
    // the window's own timers come between.
    QElapsedTimer turn;
    turn.start();
    for (int lines = 0; lines < LinesPerTurn && turn.elapsed() < TurnMs;) {
        qsizetype end = c.in.indexOf('\n');
        if (end < 0) {
            const QByteArray more = socket->read(64 * 1024);
            if (more.isEmpty())
                break;
            const qsizetype from = c.in.size();
            c.in += more;
            end = c.in.indexOf('\n', from);
        }
        if (end < 0) {
            if (c.in.size() > Scpi::MaxLine) { // the line is too long: discarded whole
                if (!c.discarding)
                    c.state.Fail(-223);
                c.discarding = true;
                c.in.clear();
            }
            continue;
        }
        QByteArray line = c.in.left(end);
        c.in.remove(0, end + 1);
        ++lines;
        if (c.discarding) { // the end of a line already refused
            c.discarding = false;
            continue;
        }
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > Scpi::MaxLine) {
            c.state.Fail(-223);
            continue;
        }
        const auto reply = ScpiCommands::ExecuteLine(line, c.state, supply_, version_);
        // The command may have shown the window's handlers at work, and the client may be
        // gone meanwhile.
        if (!Find(socket))
            return;
        if (reply) {
            socket->write(*reply + '\n');
            if (socket->bytesToWrite() > MaxPending) {
                Drop(socket, QStringLiteral("dropped: it does not read its replies"));
                return;
            }
        }
    }
    // More waits: the next turn, after what else the event loop has to do.
    if (!c.scheduled && (c.in.contains('\n') || socket->bytesAvailable())) {
        c.scheduled = true;
        QTimer::singleShot(0, this, [this, socket] {
            if (Client *again = Find(socket)) {
                again->scheduled = false;
                Serve(*again);
            }
        });
    }
}
