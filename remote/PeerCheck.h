// Who is at the other end of a loopback connection, so that the server lets in the scripts of the
// person running QVR and nobody else on the machine. Linux's kernel tables (the text of
// /proc/net/tcp and /proc/net/tcp6) name the user owning each socket; Windows' TCP tables
// (GetExtendedTcpTable) name the process, whose user is then asked.
#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

namespace PeerCheck {

// One row of a system's TCP table: both ends and who owns the socket (a user id on Linux, a
// process id on Windows).
struct Socket {
    bool localLoopback = false;
    quint16 localPort = 0;
    bool remoteLoopback = false;
    quint16 remotePort = 0;
    quint32 owner = 0;
};

// The owner of the client's end of a connection from loopback port `peerPort` to `serverPort`:
// the socket whose local port is the peer's and whose remote end is the server, both on a
// loopback address. Nothing when the table names no such socket.
std::optional<quint32> ClientOwner(const QList<Socket> &table, quint16 serverPort,
                                   quint16 peerPort);

// The sockets of /proc/net/tcp or tcp6 text.
QList<Socket> ParseProcNet(const QByteArray &table);

// The user id owning the client's end, from /proc/net text.
inline std::optional<unsigned> ClientUid(const QByteArray &table, quint16 serverPort,
                                         quint16 peerPort) {
    return ClientOwner(ParseProcNet(table), serverPort, peerPort);
}

#ifdef Q_OS_WIN
// The system's TCP connections, IPv4 and IPv6, with their processes; empty when it will not say.
QList<Socket> SystemSockets();
// Whether process `pid` runs as the user this program runs as; false whenever it cannot be told.
bool SameUserAsMe(quint32 pid);
#endif

} // namespace PeerCheck
