// The Wine check's Windows client: passes each connection made to 127.0.0.1:LISTEN on to QVR's
// remote-control port 127.0.0.1:TARGET and back, so that QVR sees a script of a Windows process
// of its own user (a Linux process, which Wine cannot name, is refused).
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    const quint16 target = quint16(args[2].toUInt());
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, quint16(args[1].toUInt())))
        return 1;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            auto *qvr = new QTcpSocket(client);
            qvr->connectToHost(QHostAddress::LocalHost, target);
            QObject::connect(client, &QTcpSocket::readyRead, qvr, [client, qvr] {
                if (qvr->state() == QAbstractSocket::ConnectedState)
                    qvr->write(client->readAll());
            });
            QObject::connect(qvr, &QTcpSocket::connected, client,
                             [client, qvr] { qvr->write(client->readAll()); });
            QObject::connect(qvr, &QTcpSocket::readyRead, client,
                             [client, qvr] { client->write(qvr->readAll()); });
            QObject::connect(qvr, &QTcpSocket::disconnected, client,
                             &QTcpSocket::disconnectFromHost);
            QObject::connect(client, &QTcpSocket::disconnected, client, [client, qvr] {
                qvr->disconnectFromHost();
                client->deleteLater();
            });
        }
    });
    return app.exec();
}
