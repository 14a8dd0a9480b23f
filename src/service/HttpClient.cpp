#include "service/HttpClient.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <mutex>

namespace {

void initCurlOnce() {
    // curl_global_init is not safe to race with itself or with the first easy handle.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

struct FileSource {
    int fd;
    std::uint64_t size;
    std::uint64_t offset = 0;
    bool failed = false;
};

std::size_t readFile(char* buffer, std::size_t size, std::size_t nitems, void* userdata) {
    auto* src = static_cast<FileSource*>(userdata);
    const std::uint64_t remaining = src->size - src->offset;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, size * nitems));
    if (want == 0) return 0;
    ssize_t got;
    do {
        got = pread(src->fd, buffer, want, static_cast<off_t>(src->offset));
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // An error, or the file became shorter than the size we announced.
        src->failed = true;
        return CURL_READFUNC_ABORT;
    }
    src->offset += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

int seekFile(void* userdata, curl_off_t offset, int origin) {
    auto* src = static_cast<FileSource*>(userdata);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::uint64_t>(offset) > src->size)
        return CURL_SEEKFUNC_CANTSEEK;
    src->offset = static_cast<std::uint64_t>(offset);
    return CURL_SEEKFUNC_OK;
}

// Where the reply goes. libcurl calls in from C, so nothing may be thrown out of writeBody;
// what went wrong is noted here and thrown after the transfer.
struct ReplySink {
    std::string& body;
    std::size_t limit;
    bool tooLarge = false;
    bool outOfMemory = false;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t nmemb, void* userdata) noexcept {
    auto* sink = static_cast<ReplySink*>(userdata);
    const std::size_t n = size * nmemb;
    if (n > sink->limit - sink->body.size()) {
        sink->tooLarge = true;
        return CURL_WRITEFUNC_ERROR;
    }
    try {
        sink->body.append(data, n);
    } catch (...) {
        sink->outOfMemory = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return n;
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    std::string lower(a);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == b;
}

HttpClient::Error::Kind kindOf(CURLcode code) {
    using Kind = HttpClient::Error::Kind;
    switch (code) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return Kind::invalidUrl;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return Kind::cannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return Kind::timedOut;
        default:
            return Kind::failed;
    }
}

}  // namespace

bool HttpClient::isValidUrl(const std::string& url) {
    initCurlOnce();
    std::unique_ptr<CURLU, UrlDeleter> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
    char* scheme = nullptr;
    char* host = nullptr;
    bool ok = curl_url_get(u.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
              curl_url_get(u.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK;
    if (ok) {
        const std::string s(scheme);
        ok = (s == "http" || s == "https") && host[0] != '\0';
    }
    curl_free(scheme);
    curl_free(host);
    return ok;
}

std::string HttpClient::encodePathSegment(const std::string& segment) {
    static const char* const kHex = "0123456789ABCDEF";
    const bool onlyDots = !segment.empty() && segment.find_first_not_of('.') == std::string::npos;
    std::string out;
    out.reserve(segment.size());
    for (unsigned char c : segment) {
        const bool plain =
            std::isalnum(c) || c == '-' || c == '_' || c == '~' || (c == '.' && !onlyDots);
        if (plain && c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

HttpClient::Response HttpClient::send(const Request& request) {
    if (!isValidUrl(request.url)) throw Error(Error::Kind::invalidUrl, "invalid URL");

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) throw Error(Error::Kind::failed, "curl_easy_init failed");
    CURL* h = easy.get();

    Response response;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.connectTimeout.count()));
    // Abort only when fewer than 1 byte per second moved for the whole idle limit.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.idleTimeout.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
    ReplySink sink{response.body, request.maxReplyBytes};
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);

    const bool hasBody = request.body.has_value() || request.fileBody.has_value();
    std::optional<FileSource> file;
    if (request.fileBody) {
        file = FileSource{request.fileBody->fd, request.fileBody->size};
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, readFile);
        curl_easy_setopt(h, CURLOPT_READDATA, &*file);
        curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, seekFile);
        curl_easy_setopt(h, CURLOPT_SEEKDATA, &*file);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.fileBody->size));
    } else if (request.body) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body->size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body->data());
    } else if (request.method == "POST") {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, "");
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    if (request.method != "GET" && request.method != "POST")
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());

    curl_slist* list = nullptr;
    bool hasContentType = false;
    for (const auto& [name, value] : request.headers) {
        hasContentType = hasContentType || equalsIgnoringCase(name, "content-type");
        // "Name;" is libcurl's way to send a header whose value is empty.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    // No 100-continue round trip, and no form Content-Type that nobody asked for.
    list = curl_slist_append(list, "Expect:");
    if (hasBody && !hasContentType) list = curl_slist_append(list, "Content-Type:");
    std::unique_ptr<curl_slist, ListDeleter> headers(list);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    const CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK) {
        const std::string detail = errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
        if (file && file->failed) throw Error(Error::Kind::bodyUnreadable, detail);
        if (sink.tooLarge)
            throw Error(Error::Kind::replyTooLarge,
                        "the reply is larger than " + std::to_string(sink.limit) + " bytes");
        if (sink.outOfMemory) throw Error(Error::Kind::failed, "no memory for the reply");
        throw Error(kindOf(rc), detail);
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}
