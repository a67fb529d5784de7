// Who is at the other end of a loopback connection: the kernel's TCP tables (the text of
// /proc/net/tcp and /proc/net/tcp6) name the user owning each socket, so the server can let in the
// scripts of the person running QVR and nobody else on the machine.
#pragma once

#include <QByteArray>
#include <optional>

namespace PeerCheck {

// The user id owning the client's end of a connection from loopback port `peerPort` to
// `serverPort`: the entry whose local port is the peer's and whose remote end is the server on a
// loopback address. Nothing when the table names no such socket.
std::optional<unsigned> ClientUid(const QByteArray &table, quint16 serverPort, quint16 peerPort);

} // namespace PeerCheck
