#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "service/ServiceCall.h"

namespace {

TEST(ServiceCallTest, OutcomeArrivesOnTheReceiversThread) {
    QObject receiver;
    std::optional<ServiceOutcome<int>> value;
    std::optional<ServiceOutcome<std::monostate>> failure, bug;
    QThread* workThread = nullptr;
    QThread* doneThread = nullptr;
    callService(
        &receiver, [&] { return workThread = QThread::currentThread(), 42; },
        [&](ServiceOutcome<int> o) { doneThread = QThread::currentThread(), value = o; });
    callService(
        &receiver, [] { throw APIError::service("失敗", 500); },
        [&](ServiceOutcome<std::monostate> o) { failure = o; });
    callService(
        &receiver, [] { throw std::logic_error("bug"); },
        [&](ServiceOutcome<std::monostate> o) { bug = o; });

    ASSERT_TRUE(QTest::qWaitFor([&] { return value && failure && bug; }, 5000));
    EXPECT_EQ(value->value(), 42);
    EXPECT_NE(workThread, QThread::currentThread());
    EXPECT_EQ(doneThread, QThread::currentThread());
    EXPECT_EQ(failure->error(), APIError::service("失敗", 500));
    EXPECT_EQ(bug->error().message(), APIError::kUnexpected);
}

TEST(ServiceCallTest, NothingArrivesAfterTheReceiverIsGone) {
    auto receiver = std::make_unique<QObject>();
    std::atomic<bool> workDone = false;
    bool called = false;
    callService(
        receiver.get(),
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return workDone = true, 1;
        },
        [&](ServiceOutcome<int>) { called = true; });
    receiver.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return workDone.load(); }, 5000));
    QTest::qWait(50);
    EXPECT_FALSE(called);
}

}  // namespace
