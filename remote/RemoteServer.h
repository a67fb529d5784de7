// The loopback server scripts talk to: SCPI lines over TCP, one error queue per client, bounded
// in what it reads and what it keeps for a client that does not read, and never holding the
// window for a client.
#pragma once

#include "ScpiCommands.h"

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <list>
#include <optional>

class Supply;

class RemoteServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 5025;
    static constexpr int MaxClients = 4;
    // Replies kept for a client that does not read; past this it is dropped.
    static constexpr qint64 MaxPending = 1 << 20;
    // Commands carried out in one turn of the event loop, whatever lines they came in: a flood
    // or a long compound line waits its turn behind the polling.
    static constexpr int CommandsPerTurn = 32;
    static constexpr int TurnMs = 10;

    RemoteServer(Supply &supply, QString version, QObject *parent = nullptr);
    // Listens on 127.0.0.1 and, where the machine has it, on ::1 as well: a client that finds
    // localhost at ::1 must not meet another program there. The reason when it cannot.
    QString Listen(quint16 port);
    void Close();
    bool Listening() const { return v4_.isListening() || v6_.isListening(); }
    quint16 Port() const { return port_; }
    int Clients() const { return int(clients_.size()); }
    // "Remote: port 5025, 1 script", or empty when off.
    QString Status() const;
    // The connection's peer check: the owner of the client's socket must be this user; one the
    // system cannot name yet (Wine, before the client has used its socket) is asked again when
    // its first bytes come, and any other refused.
    enum class Owner { Mine, Other, Unknown };
    static Owner OwnerOf(const QTcpSocket &socket);

signals:
    void clientsChanged();
    // "script connected from port 40312", for the recording.
    void happened(const QString &text);
    // What the operator should see at once: a web page tried to drive the supply.
    void warning(const QString &text);

private:
    struct Client {
        QTcpSocket *socket = nullptr;
        quint16 from = 0; // its port, kept for the notes after it has gone
        bool placed = false; // known to be this user's
        QByteArray in;
        bool discarding = false; // the rest of a line past MaxLine
        bool scheduled = false;  // a turn to read more is queued
        bool closed = false;     // it has gone: its lines are carried out, the replies dropped
        std::optional<ScpiCommands::LineRun> line; // being carried out, a command a turn
        ScpiCommands::Client state;
    };
    // Listens on both addresses at `port`; the reason naming the address that is taken.
    QString ListenBoth(quint16 port);
    void Accept(QTcpServer &server);
    void Serve(Client &c);
    // The next complete line into c.line; false when none has arrived whole.
    bool TakeLine(Client &c);
    void Schedule(Client &c);
    void Drop(QTcpSocket *socket, const QString &why); // "script from port N <why>"
    Client *Find(QTcpSocket *socket);
    void ObserveSupply();

    Supply &supply_;
    QString version_;
    QTcpServer v4_, v6_;
    quint16 port_ = 0;
    std::list<Client> clients_;
};
