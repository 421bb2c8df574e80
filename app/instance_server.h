// The running copy's end of the single-instance socket, and the second
// start's request. A second start connects, sends "raise\n" and waits for
// "ok\n": by then the running copy has restored and raised its window (or
// will, as soon as the window exists).
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace kvx::app {

class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);

    // Listens at socketPath. The caller holds the instance lock, so a socket
    // file already there is a leftover of a copy that died: it is replaced.
    bool Listen(const QString& socketPath);
    QString ErrorString() const { return server_.errorString(); }

    // The second start's side: asks the copy listening at socketPath to come
    // to the front. Retries for a while, because the running copy may hold
    // the lock an instant before it listens. True once it has answered.
    static bool AskToRaise(const QString& socketPath);

signals:
    void raiseRequested();

private:
    void OnConnection();

    QLocalServer server_;
};

}  // namespace kvx::app
