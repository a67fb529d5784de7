#include "PeerCheck.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#include <vector>
#endif

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

std::optional<quint32> ClientOwner(const QList<Socket> &table, quint16 serverPort,
                                   quint16 peerPort) {
    for (const Socket &s : table)
        if (s.localPort == peerPort && s.remotePort == serverPort && s.localLoopback &&
            s.remoteLoopback)
            return s.owner;
    return std::nullopt;
}

QList<Socket> ParseProcNet(const QByteArray &table) {
    QList<Socket> sockets;
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 8)
            continue;
        const auto local = EndOf(f[1]), remote = EndOf(f[2]);
        bool ok = false;
        const unsigned uid = f[7].toUInt(&ok);
        if (ok && local && remote)
            sockets.append({Loopback(local->address), local->port, Loopback(remote->address),
                            remote->port, uid});
    }
    return sockets;
}

#ifdef Q_OS_WIN

namespace {

bool Loopback4(DWORD networkOrder) {
    return (ntohl(networkOrder) >> 24) == 127;
}

bool Loopback6(const UCHAR *a) {
    static const UCHAR one[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static const UCHAR mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return memcmp(a, one, 16) == 0 || (memcmp(a, mapped, 12) == 0 && a[12] == 127);
}

// The table of one address family, grown until it fits (connections come and go meanwhile).
std::vector<char> TableOf(ULONG family) {
    std::vector<char> buffer(16384);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = DWORD(buffer.size());
        const DWORD result = GetExtendedTcpTable(buffer.data(), &size, FALSE, family,
                                                 TCP_TABLE_OWNER_PID_CONNECTIONS, 0);
        if (result == NO_ERROR)
            return buffer;
        if (result != ERROR_INSUFFICIENT_BUFFER)
            break;
        buffer.resize(size + 4096);
    }
    return {};
}

// The user of a token, copied out.
std::vector<char> UserOf(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    if (!size || !GetTokenInformation(token, TokenUser, user.data(), size, &size))
        return {};
    return user;
}

std::vector<char> UserOfProcess(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    std::vector<char> user = UserOf(token);
    CloseHandle(token);
    return user;
}

} // namespace

QList<Socket> SystemSockets() {
    QList<Socket> sockets;
    const std::vector<char> v4 = TableOf(AF_INET);
    if (!v4.empty()) {
        const auto *t = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID *>(v4.data());
        for (DWORD i = 0; i < t->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID &r = t->table[i];
            sockets.append({Loopback4(r.dwLocalAddr), ntohs(u_short(r.dwLocalPort)),
                            Loopback4(r.dwRemoteAddr), ntohs(u_short(r.dwRemotePort)),
                            quint32(r.dwOwningPid)});
        }
    }
    const std::vector<char> v6 = TableOf(AF_INET6);
    if (!v6.empty()) {
        const auto *t = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID *>(v6.data());
        for (DWORD i = 0; i < t->dwNumEntries; ++i) {
            const MIB_TCP6ROW_OWNER_PID &r = t->table[i];
            sockets.append({Loopback6(r.ucLocalAddr), ntohs(u_short(r.dwLocalPort)),
                            Loopback6(r.ucRemoteAddr), ntohs(u_short(r.dwRemotePort)),
                            quint32(r.dwOwningPid)});
        }
    }
    return sockets;
}

bool SameUserAsMe(quint32 pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return false; // gone, or not ours to look at: another user's
    const std::vector<char> theirs = UserOfProcess(process);
    CloseHandle(process);
    const std::vector<char> mine = UserOfProcess(GetCurrentProcess());
    if (theirs.empty() || mine.empty())
        return false;
    return EqualSid(reinterpret_cast<const TOKEN_USER *>(theirs.data())->User.Sid,
                    reinterpret_cast<const TOKEN_USER *>(mine.data())->User.Sid) != 0;
}

#endif

} // namespace PeerCheck
