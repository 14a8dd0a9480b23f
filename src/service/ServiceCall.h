#pragma once
// How the GUI side calls the service: the blocking TavroAPI call runs on a worker thread and its
// outcome is handed to a callback on the receiver's thread.
//
//     callService(this, [token] { return TavroAPI::me(token); },
//                 [this](ServiceOutcome<TavroAPI::Account> outcome) {
//                     if (outcome.ok()) ... outcome.value() ...
//                     else ... outcome.error().message() ...
//                 });
//
// The callback runs on the thread of `receiver` (through its event loop) and is dropped
// without being called when `receiver` is destroyed first, so it may capture `this` freely.
// Call it on the receiver's thread.
// A call returning void gives ServiceOutcome<std::monostate>. The service client throws only
// APIError; anything else thrown by `work` arrives as APIError::kUnexpected rather than ending
// the program on a pool thread.
//
// The calls get a pool of their own: they mostly wait on the network (an upload may take
// minutes), so they must not starve Qt's global pool, and they must not hold up quitting.
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

#include "service/APIError.h"
#include "service/ServiceOutcome.h"

namespace servicecall_detail {

template <typename Work>
using ResultOf = std::conditional_t<std::is_void_v<std::invoke_result_t<Work&>>, std::monostate,
                                    std::invoke_result_t<Work&>>;

template <typename Work>
ServiceOutcome<ResultOf<Work>> run(Work& work) {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
            work();
            return ServiceOutcome<std::monostate>(std::monostate{});
        } else {
            return ServiceOutcome<ResultOf<Work>>(work());
        }
    } catch (const APIError& e) {
        return ServiceOutcome<ResultOf<Work>>(e);
    } catch (const std::exception&) {
        return ServiceOutcome<ResultOf<Work>>(APIError::local(APIError::kUnexpected));
    }
}

// Never destroyed: destroying a pool waits for its calls, and quitting must not wait for an
// upload to end.
inline QThreadPool* pool() {
    static QThreadPool* const instance = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(8);
        return p;
    }();
    return instance;
}

}  // namespace servicecall_detail

template <typename Work, typename Done>
void callService(QObject* receiver, Work work, Done done) {
    using Outcome = ServiceOutcome<servicecall_detail::ResultOf<Work>>;
    // Tracks whether the receiver still lives. The worker posts to it only under the lock,
    // and the receiver's destructor clears it under the same lock, so a post never reaches a
    // dead object; a post made just before is dropped by Qt together with the object.
    struct Job {
        Job(QObject* r, Work w, Done d) : receiver(r), work(std::move(w)), done(std::move(d)) {}
        std::mutex mutex;
        QObject* receiver;
        QMetaObject::Connection watch;
        Work work;
        Done done;
    };
    auto job = std::make_shared<Job>(receiver, std::move(work), std::move(done));
    job->watch = QObject::connect(receiver, &QObject::destroyed, [job] {
        std::lock_guard lock(job->mutex);
        job->receiver = nullptr;
    });
    servicecall_detail::pool()->start([job] {
        auto outcome = std::make_shared<Outcome>(servicecall_detail::run(job->work));
        std::lock_guard lock(job->mutex);
        if (job->receiver == nullptr) return;
        QMetaObject::invokeMethod(
            job->receiver,
            [job, outcome] {
                QObject::disconnect(job->watch);
                job->done(std::move(*outcome));
            },
            Qt::QueuedConnection);
    });
}
