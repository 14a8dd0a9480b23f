#pragma once
// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the main thread, through a self-pipe:
// the handler only writes one byte, and the quit itself (which may have to finish a recording's
// files) runs as ordinary code.
#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. One instance per process.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
};
