#include "app/instance_server.h"

#include <QLocalSocket>
#include <QThread>

namespace kvx::app {

namespace {
constexpr QByteArrayView kRequest = "raise\n";
constexpr QByteArrayView kAnswer = "ok\n";
constexpr int kConnectAttempts = 30;
constexpr int kAttemptPauseMs = 100;
constexpr int kAnswerWaitMs = 5000;
}  // namespace

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::OnConnection);
}

bool InstanceServer::Listen(const QString& socketPath) {
    QLocalServer::removeServer(socketPath);
    return server_.listen(socketPath);
}

void InstanceServer::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Only the request line matters; anything longer is not ours.
            if (socket->bytesAvailable() > kRequest.size() * 4) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) return;
            if (socket->readLine() == kRequest.toByteArray()) {
                emit raiseRequested();
                socket->write(kAnswer.data(), kAnswer.size());
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool InstanceServer::AskToRaise(const QString& socketPath) {
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (!socket.waitForConnected(kAnswerWaitMs)) {
            QThread::msleep(kAttemptPauseMs);
            continue;
        }
        socket.write(kRequest.data(), kRequest.size());
        if (!socket.waitForBytesWritten(kAnswerWaitMs)) return false;
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(kAnswerWaitMs)) return false;
        return socket.readLine() == kAnswer.toByteArray();
    }
    return false;
}

}  // namespace kvx::app
