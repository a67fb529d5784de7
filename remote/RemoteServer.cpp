#include "RemoteServer.h"

#include "PeerCheck.h"
#include "Supply.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <utility>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

RemoteServer::RemoteServer(Supply &supply, QString version, QObject *parent)
    : QObject(parent), supply_(supply), version_(std::move(version)) {
    connect(&v4_, &QTcpServer::newConnection, this, [this] { Accept(v4_); });
    connect(&v6_, &QTcpServer::newConnection, this, [this] { Accept(v6_); });
    // Each client's status registers latch what changes between its questions.
    connect(&supply_, &Supply::readingChanged, this, &RemoteServer::ObserveSupply);
    connect(&supply_, &Supply::runChanged, this, &RemoteServer::ObserveSupply);
    connect(&supply_, &Supply::linkChanged, this, &RemoteServer::ObserveSupply);
}

void RemoteServer::ObserveSupply() {
    const ScpiCommands::Conditions now = ScpiCommands::ConditionsOf(supply_);
    for (Client &c : clients_)
        c.state.Observe(now);
}

QString RemoteServer::ListenBoth(quint16 port) {
    // 127.0.0.1 must be ours: scripts that reach another program there would drive nothing.
    if (!v4_.listen(QHostAddress::LocalHost, port))
        return QStringLiteral("%1 (127.0.0.1)").arg(v4_.errorString());
    // And ::1 on the same port wherever the machine has it: clients that look up localhost try
    // it first, and another user's program listening there would answer them with made-up
    // readings. A machine without IPv6 on loopback has no such address to take.
    if (v6_.listen(QHostAddress::LocalHostIPv6, v4_.serverPort()))
        return {};
    switch (v6_.serverError()) {
    case QAbstractSocket::SocketAddressNotAvailableError:
    case QAbstractSocket::UnsupportedSocketOperationError:
        return {};
    default:
        break;
    }
    const QString why = QStringLiteral("%1 (::1)").arg(v6_.errorString());
    v4_.close();
    return why;
}

QString RemoteServer::Listen(quint16 port) {
    Close();
    QString why = ListenBoth(port);
    // Any free port (0): one whose ::1 side happens to be taken is tried no further.
    for (int tries = 0; port == 0 && !why.isEmpty() && tries < 20; ++tries)
        why = ListenBoth(0);
    if (!why.isEmpty())
        return why;
    port_ = v4_.serverPort();
    emit clientsChanged();
    return {};
}

void RemoteServer::Close() {
    v4_.close();
    v6_.close();
    while (!clients_.empty())
        Drop(clients_.front().socket, QStringLiteral("dropped: remote control off"));
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

RemoteServer::Owner RemoteServer::OwnerOf(const QTcpSocket &socket) {
#ifdef Q_OS_LINUX
    QByteArray tables;
    for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly))
            tables += f.readAll(); // a virtual file: its size is 0 until read
    }
    const auto uid = PeerCheck::ClientUid(tables, socket.localPort(), socket.peerPort());
    return uid && *uid == unsigned(getuid()) ? Owner::Mine : Owner::Other;
#elif defined(Q_OS_WIN)
    // Wine names a socket's process only once that process has used it (it holds sockets in
    // its server until then): such a client is placed when its first bytes come.
    const auto pid =
        PeerCheck::ClientOwner(PeerCheck::SystemSockets(), socket.localPort(), socket.peerPort());
    if (!pid || *pid == 0)
        return Owner::Unknown;
    return PeerCheck::SameUserAsMe(*pid) ? Owner::Mine : Owner::Other;
#else
    Q_UNUSED(socket);
    return Owner::Other; // no way to tell who it is
#endif
}

void RemoteServer::Accept(QTcpServer &server) {
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        const quint16 from = socket->peerPort();
        const Owner owner = int(clients_.size()) >= MaxClients ? Owner::Other : OwnerOf(*socket);
        if (owner == Owner::Other) {
            emit happened(
                int(clients_.size()) >= MaxClients
                    ? QStringLiteral("script from port %1 refused: %2 connected already")
                          .arg(from)
                          .arg(MaxClients)
                    : QStringLiteral("script from port %1 refused: another user's").arg(from));
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
        clients_.push_back(
            Client{socket, from, owner == Owner::Mine, {}, false, false, false, std::nullopt, {}});
        clients_.back().state.Baseline(ScpiCommands::ConditionsOf(supply_));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client *c = Find(socket))
                Serve(*c);
        });
        // What it sent before it closed is still carried out, in order.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (Client *c = Find(socket)) {
                c->closed = true;
                Schedule(*c);
            }
        });
        if (owner == Owner::Mine)
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
        const quint16 from = it->from; // the socket forgets it once closed
        clients_.erase(it);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        emit happened(QStringLiteral("script from port %1 %2").arg(from).arg(why));
        emit clientsChanged();
        return;
    }
}

bool RemoteServer::TakeLine(Client &c) {
    qsizetype end = Scpi::LineEnd(c.in);
    if (end < 0) {
        const QByteArray more = c.socket->read(64 * 1024);
        if (!more.isEmpty()) {
            const qsizetype from = c.in.size();
            c.in += more;
            end = Scpi::LineEnd(c.in, from);
        }
    }
    if (end < 0) {
        if (c.in.size() > Scpi::MaxLine) { // the line is too long: discarded whole
            if (!c.discarding)
                c.state.Fail(-223);
            c.discarding = true;
            c.in.clear();
            return TakeLine(c); // what else has come meanwhile
        }
        return false;
    }
    const QByteArray line = c.in.left(end);
    c.in.remove(0, end + 1);
    if (std::exchange(c.discarding, false)) // the end of a line already refused
        return true;
    if (line.size() > Scpi::MaxLine) {
        c.state.Fail(-223);
        return true;
    }
    if (Scpi::WebRequest(line)) {
        emit warning(QStringLiteral("Remote control refused a web browser's request from port %1")
                         .arg(c.from));
        Drop(c.socket, QStringLiteral("sent away: refused a web browser's request"));
        return false;
    }
    c.line.emplace(line);
    return true;
}

void RemoteServer::Serve(Client &c) {
    const QPointer<QTcpSocket> socket = c.socket;
    if (!c.placed) { // nothing it sent runs before it is known to be this user's
        if (OwnerOf(*socket) != Owner::Mine)
            return Drop(socket, QStringLiteral("refused: another user's"));
        c.placed = true;
        emit happened(QStringLiteral("script connected from port %1").arg(c.from));
    }
    // A turn ends after a few commands or as soon as they took a poll's time (readings,
    // settings): the window's own timers come between, also inside one long compound line.
    QElapsedTimer turn;
    turn.start();
    for (int work = 0; work < CommandsPerTurn && turn.elapsed() < TurnMs;) {
        if (!c.line) {
            if (!TakeLine(c)) {
                if (!Find(socket)) // sent away
                    return;
                break;
            }
            if (!c.line || c.line->Done()) { // an empty line, or one refused whole
                work += c.line.has_value();
                c.line.reset();
                continue;
            }
        }
        c.line->Next(c.state, supply_, version_);
        ++work;
        // The command may have shown the window's handlers at work, and the client may be
        // gone meanwhile.
        if (!Find(socket))
            return;
        if (!c.line->Done())
            continue;
        const std::optional<QByteArray> reply = c.line->Reply();
        c.line.reset();
        if (reply && !c.closed) {
            socket->write(*reply + '\n');
            if (socket->bytesToWrite() > MaxPending) {
                Drop(socket, QStringLiteral("dropped: it does not read its replies"));
                return;
            }
        }
    }
    if (c.line || Scpi::LineEnd(c.in) >= 0 || socket->bytesAvailable())
        Schedule(c);   // more waits: the next turn, after what else the event loop has to do
    else if (c.closed) // all it sent is done
        Drop(socket, QStringLiteral("left"));
}

void RemoteServer::Schedule(Client &c) {
    if (c.scheduled)
        return;
    c.scheduled = true;
    QTimer::singleShot(0, this, [this, socket = QPointer<QTcpSocket>(c.socket)] {
        if (Client *again = Find(socket)) {
            again->scheduled = false;
            Serve(*again);
        }
    });
}
