#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP reach the program as a Qt signal on its main
// thread: the handler itself only writes the signal's number into a pipe
// (nothing else is safe there), and a notifier on the other end emits
// Received from the event loop. Only one watcher exists at a time.
class TSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier* m_notifier = nullptr;
};
