#pragma once
// Hands work from worker threads back to an object's own thread, and drops it once the object
// is gone. The owner holds one and calls close() first thing in its destructor; workers keep
// a copy of handle() and post through it, however long they run.
#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

class MainThreadHandoff {
public:
    class Handle {
    public:
        // Runs `fn` on the owner's thread through its event loop, unless the owner is gone by
        // then. Safe from any thread.
        void post(std::function<void()> fn) const {
            if (!state_) return;
            std::lock_guard lock(state_->mutex);
            // Queued while the owner is alive under the lock, so it cannot be half destroyed;
            // Qt discards the call if the owner is deleted before it runs.
            if (state_->owner)
                QMetaObject::invokeMethod(state_->owner, std::move(fn), Qt::QueuedConnection);
        }

    private:
        friend class MainThreadHandoff;
        struct State {
            std::mutex mutex;
            QObject* owner;
        };
        std::shared_ptr<State> state_;
    };

    explicit MainThreadHandoff(QObject* owner) {
        handle_.state_ = std::make_shared<Handle::State>();
        handle_.state_->owner = owner;
    }
    ~MainThreadHandoff() { close(); }
    MainThreadHandoff(const MainThreadHandoff&) = delete;
    MainThreadHandoff& operator=(const MainThreadHandoff&) = delete;

    void close() {
        std::lock_guard lock(handle_.state_->mutex);
        handle_.state_->owner = nullptr;
    }
    const Handle& handle() const { return handle_; }

private:
    Handle handle_;
};
