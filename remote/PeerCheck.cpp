#include "PeerCheck.h"

#include <QList>

namespace PeerCheck {

namespace {

// "0100007F:13A1" or a 32-digit IPv6 address and its port, as the kernel writes them (each 32-bit
// word in the machine's byte order: 127.0.0.1 ends in 7F, ::1 is a 1 in the last word).
bool Loopback(const QByteArray &address) {
    if (address.size() == 8)
        return address.endsWith("7F");
    return address == "00000000000000000000000001000000" ||
           (address.startsWith("0000000000000000FFFF0000") && address.endsWith("7F"));
}

struct End {
    QByteArray address;
    quint16 port = 0;
};

std::optional<End> EndOf(const QByteArray &field) {
    const QList<QByteArray> parts = field.split(':');
    bool ok = false;
    const uint port = parts.value(1).toUInt(&ok, 16);
    if (parts.size() != 2 || !ok || port > 0xFFFF)
        return std::nullopt;
    return End{parts[0].toUpper(), quint16(port)};
}

} // namespace

std::optional<unsigned> ClientUid(const QByteArray &table, quint16 serverPort, quint16 peerPort) {
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 8)
            continue;
        const auto local = EndOf(f[1]), remote = EndOf(f[2]);
        bool ok = false;
        const unsigned uid = f[7].toUInt(&ok);
        if (ok && local && remote && local->port == peerPort && remote->port == serverPort &&
            Loopback(local->address) && Loopback(remote->address))
            return uid;
    }
    return std::nullopt;
}

} // namespace PeerCheck
