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
// A call returning void gives ServiceOutcome<std::monostate>. The service client throws only
// APIError; anything else thrown by `work` arrives as APIError::kUnexpected rather than ending
// the program on a pool thread.
//
// The calls get a pool of their own: they mostly wait on the network (an upload may take
// minutes), so they must not starve Qt's global pool, and they must not hold up quitting.
#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

#include "service/APIError.h"

template <typename T>
class ServiceOutcome {
public:
    explicit ServiceOutcome(T value) : value_(std::move(value)) {}
    explicit ServiceOutcome(APIError error) : value_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    T& value() { return std::get<T>(value_); }
    const APIError& error() const { return std::get<APIError>(value_); }

private:
    std::variant<T, APIError> value_;
};

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
    // Qt 6.4's pool takes only copyable callables, so the move-only promise is shared.
    struct Job {
        QPromise<Outcome> promise;
        Work work;
    };
    auto job = std::make_shared<Job>(Job{QPromise<Outcome>(), std::move(work)});
    // then() with a context object delivers on that object's thread and drops the
    // continuation if the object dies before the work ends.
    job->promise.future().then(
        receiver, [done = std::move(done)](Outcome outcome) mutable { done(std::move(outcome)); });
    servicecall_detail::pool()->start([job] {
        job->promise.start();
        job->promise.addResult(servicecall_detail::run(job->work));
        job->promise.finish();
    });
}
