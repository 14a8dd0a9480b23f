#pragma once
// Follows a compositing manager's coming and going on X11, as the owner of the selection
// _NET_WM_CM_S0 changes (through the X fixes extension). Elsewhere it never signals.
#include <QAbstractNativeEventFilter>
#include <QObject>

class CompositingWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The process-wide watch, on the application's connection to the X server.
    static CompositingWatch& shared();

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

Q_SIGNALS:
    // A compositing manager started, or the one there was left; `composites` as
    // desktopComposites() now says.
    void changed(bool composites);

private:
    CompositingWatch();

    int notifyType_ = -1;  // the X fixes extension's selection notify event; -1 without it
    unsigned selection_ = 0;
};
