#pragma once
// A fake service per test, with the client pointed at it, and helpers to catch APIError.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakeservice/FakeService.h"
#include "fakeservice/SampleMinutes.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "model/MinutesResult.h"
#include "service/APIError.h"
#include "service/ServiceCall.h"

using Reply = FakeService::Reply;

// Lets every service call in flight finish and hands each outcome to its receiver.
inline void settleServiceCalls() {
    servicecall_detail::pool()->waitForDone(20000);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

class ServiceFixture : public ::testing::Test {
protected:
    FakeService fake;
    ScopedServiceUrl url{fake.baseUrl()};

    // The error `call` throws; a failure when it throws none.
    static APIError errorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const APIError& e) {
            return e;
        }
        ADD_FAILURE() << "expected an APIError";
        return APIError::local("<no error>");
    }

    // What `call` returns, or "!" and the text of the APIError it throws.
    static std::string outcome(const std::function<std::string()>& call) {
        try {
            return call();
        } catch (const APIError& e) {
            return "!" + e.message();
        }
    }

    // Scripts a JSON text answer for one endpoint.
    void answer(const std::string& method, const std::string& path, int status,
                const std::string& body) {
        fake.script(method, path, Reply::withBody(status, body, "application/json"));
    }

    static MinutesResult sample() { return MinutesResult::fromJson(sampleMinutesJson()); }

    FakeService::Request only(const std::string& method, const std::string& path) {
        auto found = fake.requests(method, path);
        EXPECT_EQ(found.size(), 1u) << method << " " << path;
        return found.empty() ? FakeService::Request{} : found.back();
    }
};
