#include "ui/main/WindowChromeConfigurator.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "ui/main/WindowBackgroundDrag.h"
#include "ui/main/WindowEdgeGrip.h"

WindowChromeConfigurator::WindowChromeConfigurator(QWidget* host) : QObject(host), host_(host) {
    host_->installEventFilter(this);
    configure();
    QTimer::singleShot(0, this, [this] {
        attach();
        QTimer::singleShot(kSecondPassMs, this, &WindowChromeConfigurator::configure);
    });
}

WindowChromeConfigurator::~WindowChromeConfigurator() {
    detach();
}

QWidget* WindowChromeConfigurator::window() const {
    return host_->window();
}

void WindowChromeConfigurator::configure() {
    ++configured_;
    QWidget* w = window();
    // No decorations from the window manager (on X11 the Motif hints); it still manages the
    // window. Changing the flags of a shown window hides it, so only a missing hint is set.
    if (!(w->windowFlags() & Qt::FramelessWindowHint)) {
        const bool shown = w->isVisible();
        w->setWindowFlags(w->windowFlags() | Qt::FramelessWindowHint);
        if (shown) w->show();
    }
    if (!w->findChild<WindowBackgroundDrag*>(QString(), Qt::FindDirectChildrenOnly))
        new WindowBackgroundDrag(w);
    if (!w->findChild<WindowEdgeGrip*>(QString(), Qt::FindDirectChildrenOnly)) {
        for (const Qt::Edge edge : {Qt::TopEdge, Qt::LeftEdge, Qt::RightEdge, Qt::BottomEdge})
            new WindowEdgeGrip(edge, w);
    }
}

void WindowChromeConfigurator::attach() {
    detach();
    configure();
    QWindow* handle = window()->windowHandle();
    if (!handle) return;
    observed_ = handle;
    fullScreen_ = handle->windowStates() & Qt::WindowFullScreen;
    observers_.push_back(connect(handle, &QWindow::activeChanged, this, [this] {
        if (observed_ && observed_->isActive()) configure();
    }));
    // Slots run in the order they were connected: this one still sees the state before.
    observers_.push_back(
        connect(handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
            if (state == Qt::WindowFullScreen && !fullScreen_) configure();
        }));
    observers_.push_back(
        connect(handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
            const bool left = fullScreen_ && state != Qt::WindowFullScreen;
            fullScreen_ = state == Qt::WindowFullScreen;
            if (left) configure();
        }));
}

void WindowChromeConfigurator::detach() {
    for (const QMetaObject::Connection& c : observers_) disconnect(c);
    observers_.clear();
    observed_ = nullptr;
}

bool WindowChromeConfigurator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_) {
        // Moved into another window: that one gets the chrome before it is first shown.
        if (event->type() == QEvent::ParentChange) configure();
        // A native window made (or made again) since the last attach.
        if (event->type() == QEvent::Show && window()->windowHandle() != observed_) attach();
    }
    return QObject::eventFilter(watched, event);
}
