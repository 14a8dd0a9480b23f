#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/Json.h"

// A loopback stand-in for the maker's service: an HTTP server on 127.0.0.1 that speaks every
// endpoint the app uses, answers with realistic Japanese minutes, records every request for
// assertions, and lets a test script the answer of one endpoint.
//
// It keeps the state a real service would: upload slots, sign-in challenges and tokens, and
// hosted shared copies. The login code for every challenge is kLoginCode. Bearer endpoints
// accept tokens handed out by /api/auth/verify or issueToken().
class FakeService {
public:
    static constexpr const char* kLoginCode = "123456";

    struct Request {
        std::string method;
        std::string target;  // as sent: percent-encoding and query intact
        std::string path;    // decoded, without the query
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;            // the first recordedBodyLimit() bytes
        std::uint64_t bodySize = 0;  // the whole body's size

        // Case-insensitive; the first header of that name.
        std::optional<std::string> header(std::string_view name) const;
        json::Value json() const;  // throws json::Error
    };

    // A scripted answer. Status and body left absent keep the endpoint's own answer, so a
    // reply with only a delay makes an endpoint slow without changing what it says.
    struct Reply {
        std::optional<int> status;
        std::optional<std::string> body;
        std::string contentType = "application/json";
        std::chrono::milliseconds delay{0};

        static Reply withJson(int status, const json::Value& body);
        static Reply withBody(int status, std::string body, std::string contentType);
        static Reply late(std::chrono::milliseconds delay);
    };

    // Listens on 127.0.0.1; port 0 picks a free port.
    explicit FakeService(int port = 0);
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    int port() const;
    std::string baseUrl() const;  // "http://127.0.0.1:<port>", no trailing "/"

    // Answers requests of `method` to `path` (the path as sent, without query) with `reply`
    // until cleared.
    void script(const std::string& method, const std::string& path, Reply reply);
    void clearScripts();

    std::vector<Request> requests() const;
    std::vector<Request> requests(const std::string& method, const std::string& path) const;
    void clearRequests();
    // Upload bodies longer than this are counted but not kept (default 16 MiB).
    void setRecordedBodyLimit(std::size_t bytes);

    std::string issueToken(const std::string& email, const std::string& plan = "free");
    void setLatestVersion(const std::string& version);
    // The stored hosted copy, as {"result", "collaborators", "public"}.
    std::optional<json::Value> sharedCopy(const std::string& id) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
