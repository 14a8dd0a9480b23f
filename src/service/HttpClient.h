#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Blocking HTTP(S) over libcurl: one easy handle per request, so any number of worker threads
// may send at once. Call it from a worker thread, never from the GUI thread.
//
// Time limits are inactivity limits, not deadlines: a transfer is cut off only when it makes no
// progress for `idleTimeout`, so a long upload on a slow link is never cut off while it moves.
class HttpClient {
public:
    // A body streamed from an open file, read with pread() so that a redirect can rewind it.
    // The file stays owned by the caller and must stay open for the call.
    struct FileBody {
        int fd = -1;
        std::uint64_t size = 0;
    };

    struct Request {
        std::string method = "GET";
        std::string url;
        // Sent as given. When a body is sent without a "Content-Type" here, none is sent at all.
        std::vector<std::pair<std::string, std::string>> headers;
        std::optional<std::string> body;
        std::optional<FileBody> fileBody;  // takes the place of `body`
        std::chrono::seconds connectTimeout{30};
        std::chrono::seconds idleTimeout{60};
        // The most reply bytes taken in; a longer reply stops the transfer (replyTooLarge).
        std::size_t maxReplyBytes = 1024 * 1024;
    };

    struct Response {
        long status = 0;
        std::string body;
    };

    class Error : public std::runtime_error {
    public:
        enum class Kind {
            invalidUrl,      // not an absolute http(s) address; nothing was sent
            cannotConnect,   // name lookup or connection failed
            timedOut,        // connecting took too long, or the transfer stalled
            bodyUnreadable,  // the file body could not be read
            replyTooLarge,   // the reply went past Request::maxReplyBytes
            failed,          // any other transport failure
        };
        Error(Kind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
        Kind kind() const { return kind_; }

    private:
        Kind kind_;
    };

    // Sends the request and waits for the whole answer. Redirects are followed (http and https
    // only). Any HTTP status is a Response; only transport failures throw Error.
    static Response send(const Request& request);

    // True for an absolute http or https URL with a host that libcurl accepts.
    static bool isValidUrl(const std::string& url);

    // Percent-encodes `segment` so that it stays one path segment: everything but letters,
    // digits and "-._~" is encoded, and a segment of only dots is encoded whole so that it can
    // never act as "." or "..".
    static std::string encodePathSegment(const std::string& segment);
};
