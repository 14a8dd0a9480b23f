#include "service/TavroAPI.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iterator>

#include "model/ProcessResponse.h"
#include "service/HttpClient.h"
#include "util/Text.h"

namespace {

constexpr std::size_t kMaxVocabulary = 200;
constexpr std::size_t kMaxParticipants = 50;
constexpr std::size_t kMaxAskAllMeetings = 100;
constexpr std::size_t kMaxAskAllAttendees = 50;
constexpr std::int64_t kAskAllTranscriptBytes = 700000;
constexpr std::int64_t kAskAllMinimumBudget = 1000;
constexpr std::int64_t kAskAllLineOverhead = 24;
constexpr std::int64_t kAskAllMaxLineText = 6000;
constexpr std::size_t kTemplateTextCharacters = 100000;
constexpr std::chrono::seconds kMaxConnectWait{30};

// The largest reply each kind of endpoint may send; a longer one is cut off while it arrives.
constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kSmallReply = 1 * kMiB;     // upload address, upload, share, login, template
constexpr std::size_t kListReply = 4 * kMiB;      // Notion pages
constexpr std::size_t kAnswerReply = 8 * kMiB;    // ask-across; postJSON and requestJSON
constexpr std::size_t kMinutesReply = 32 * kMiB;  // processing and hosted shared minutes
constexpr std::size_t kDocumentReply = 128 * kMiB;  // an exported Word or PDF file
// The deepest reply of the contract is a processing result (result, sections, a section, its
// points, a point, its refs: 7 levels). Anything much deeper is refused before it is parsed,
// since copying, comparing or writing a parsed value recurses once per level.
constexpr std::size_t kMaxReplyDepth = 16;

std::optional<json::Value> parseReply(const std::string& body) {
    return json::tryParse(body, kMaxReplyDepth);
}

// A reply object together with the status it came with, so that endpoint errors keep it.
struct Reply {
    long status = 0;
    json::Value object;
};

// --- lenient reading of reply values: a value of another type counts as absent ---

const json::Value* member(const json::Value& obj, const char* key) {
    if (!obj.is_object()) return nullptr;
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

std::optional<std::string> stringAt(const json::Value& obj, const char* key) {
    const json::Value* v = member(obj, key);
    if (v == nullptr || !v->is_string()) return std::nullopt;
    return json::asString(*v, key);
}

// The value under `key` when it is a list whose every entry is an object.
const json::Value* objectListAt(const json::Value& obj, const char* key) {
    const json::Value* v = member(obj, key);
    if (v == nullptr || !v->is_array()) return nullptr;
    for (const auto& entry : *v)
        if (!entry.is_object()) return nullptr;
    return v;
}

// --- requests ---

std::string urlFor(const std::string& path) {
    std::string url = path.starts_with("http") ? path : TavroAPI::base() + path;
    if (!HttpClient::isValidUrl(url)) throw APIError::local(APIError::kInvalidAddress);
    return url;
}

std::string encodeBody(const json::Value& body) {
    try {
        return json::dumpCompact(body);
    } catch (const json::Error&) {
        throw APIError::local(APIError::kUnencodable);
    }
}

void setLimits(HttpClient::Request& request, int timeout, std::size_t maxReplyBytes) {
    request.maxReplyBytes = maxReplyBytes;
    const std::chrono::seconds idle{std::max(timeout, 1)};
    request.idleTimeout = idle;
    request.connectTimeout = std::min(idle, kMaxConnectWait);
}

HttpClient::Response transmit(const HttpClient::Request& request) {
    try {
        return HttpClient::send(request);
    } catch (const HttpClient::Error& e) {
        switch (e.kind()) {
            case HttpClient::Error::Kind::invalidUrl:
                throw APIError::local(APIError::kInvalidAddress);
            case HttpClient::Error::Kind::bodyUnreadable:
                throw APIError::local(APIError::kUnreadableFile);
            case HttpClient::Error::Kind::cannotConnect:
                throw APIError::network(APIError::kCannotConnect);
            case HttpClient::Error::Kind::timedOut:
                throw APIError::network(APIError::kTimedOut);
            case HttpClient::Error::Kind::replyTooLarge:
                throw APIError::network(APIError::kReplyTooLarge);
            case HttpClient::Error::Kind::failed:
                break;
        }
        throw APIError::network(APIError::kTransferFailed);
    }
}

// The error of a reply with status 400 or more.
APIError statusError(const json::Value& object, long status) {
    if (auto text = stringAt(object, "error")) return APIError::service(*text, status);
    return APIError::service("APIエラー (" + std::to_string(status) + ")", status);
}

Reply postReply(const std::string& path, const json::Value& body,
                const std::optional<std::string>& token, int timeout, std::size_t maxReplyBytes) {
    HttpClient::Request request;
    request.method = "POST";
    request.url = urlFor(path);
    request.headers.emplace_back("Content-Type", "application/json");
    if (token) request.headers.emplace_back("Authorization", "Bearer " + *token);
    request.body = encodeBody(body);
    setLimits(request, timeout, maxReplyBytes);

    const HttpClient::Response response = transmit(request);
    auto parsed = parseReply(response.body);
    if (!parsed) throw APIError::service(APIError::kUnreadableReply, response.status);
    if (!parsed->is_object()) throw APIError::service("不正なレスポンス", response.status);
    if (response.status >= 400) throw statusError(*parsed, response.status);
    return {response.status, std::move(*parsed)};
}

Reply requestReply(const std::string& method, const std::string& path,
                   const std::optional<json::Value>& body, const std::string& token, int timeout,
                   std::size_t maxReplyBytes) {
    HttpClient::Request request;
    request.method = method;
    request.url = urlFor(path);
    request.headers.emplace_back("Authorization", "Bearer " + token);
    if (body) {
        request.headers.emplace_back("Content-Type", "application/json");
        request.body = encodeBody(*body);
    }
    setLimits(request, timeout, maxReplyBytes);

    const HttpClient::Response response = transmit(request);
    if (response.status == 204) return {response.status, json::Value::object()};
    auto parsed = parseReply(response.body);
    json::Value object = parsed && parsed->is_object() ? std::move(*parsed) : json::Value::object();
    if (response.status >= 400) throw statusError(object, response.status);
    return {response.status, std::move(object)};
}

// --- the recording file ---

class OpenFile {
public:
    explicit OpenFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::string readWhole(int fd, std::uint64_t size) {
    std::string data(static_cast<std::size_t>(size), '\0');
    std::uint64_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, data.data() + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) throw APIError::local(APIError::kUnreadableFile);
        done += static_cast<std::uint64_t>(got);
    }
    return data;
}

std::string base64(const std::string& data) {
    const QByteArray raw =
        QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    const QByteArray encoded = raw.toBase64();
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

json::Value firstStrings(const std::vector<std::string>& list, std::size_t limit) {
    json::Value out = json::Value::array();
    for (std::size_t i = 0; i < list.size() && i < limit; ++i) out.push_back(list[i]);
    return out;
}

// Streams the file to the upload address the service hands out and returns the stored file's
// uri.
std::string upload(int fd, std::uint64_t size, const std::string& displayName) {
    json::Value request = json::Value::object();
    request["mimeType"] = "audio/mp4";
    request["sizeBytes"] = static_cast<std::int64_t>(size);
    request["displayName"] = displayName;
    const Reply address = postReply("/api/upload-url", request, std::nullopt, 60, kSmallReply);
    auto uploadUrl = stringAt(address.object, "uploadUrl");
    if (!uploadUrl || !HttpClient::isValidUrl(*uploadUrl))
        throw APIError::service("アップロードURL取得に失敗", address.status);

    HttpClient::Request put;
    put.method = "POST";
    put.url = *uploadUrl;
    put.headers = {{"X-Goog-Upload-Offset", "0"}, {"X-Goog-Upload-Command", "upload, finalize"}};
    put.fileBody = HttpClient::FileBody{fd, size};
    setLimits(put, 600, kSmallReply);
    const HttpClient::Response response = transmit(put);

    auto parsed = parseReply(response.body);
    if (!parsed) throw APIError::service(APIError::kUnreadableReply, response.status);
    const json::Value* file = member(*parsed, "file");
    auto uri = file && file->is_object() ? stringAt(*file, "uri") : std::nullopt;
    if (!uri) throw APIError::service("アップロードに失敗", response.status);
    return *uri;
}

// A byte-budget cut that never splits a character; a budget below 1 gives "".
std::string utf8Prefix(const std::string& s, std::int64_t maxBytes) {
    if (maxBytes < 1) return {};
    return text::utf8Prefix(s, static_cast<std::size_t>(maxBytes));
}

std::int64_t byteCount(const std::string& s) {
    return static_cast<std::int64_t>(s.size());
}

json::Value collaboratorList(const std::vector<TavroAPI::Collaborator>& collaborators) {
    json::Value list = json::Value::array();
    for (const auto& c : collaborators) list.push_back({{"email", c.email}, {"role", c.role}});
    return list;
}

json::Value sharedMinutesBody(const MinutesResult& result,
                              const std::vector<TavroAPI::Collaborator>& collaborators,
                              bool isPublic) {
    json::Value body = json::Value::object();
    body["result"] = result.toJson();
    body["collaborators"] = collaboratorList(collaborators);
    body["public"] = isPublic;
    return body;
}

std::string sharedMinutesPath(const std::string& id) {
    // An empty id would address the whole collection.
    if (id.empty()) throw APIError::local("共有IDが不正です");
    return "/api/shared-minutes/" + HttpClient::encodePathSegment(id);
}

std::optional<std::string> publicLink(const json::Value& reply) {
    auto publicToken = stringAt(reply, "publicToken");
    if (!publicToken) return std::nullopt;
    return TavroAPI::base() + "/shared/" + *publicToken;
}

}  // namespace

std::string TavroAPI::base() {
    const char* configured = std::getenv("TAVRO_SERVICE_URL");
    std::string value = configured && *configured ? configured : kDefaultBase;
    while (value.ends_with('/')) value.pop_back();
    return value;
}

json::Value TavroAPI::postJSON(const std::string& path, const json::Value& body,
                               const std::optional<std::string>& token, int timeout) {
    return postReply(path, body, token, timeout, kAnswerReply).object;
}

json::Value TavroAPI::requestJSON(const std::string& method, const std::string& path,
                                  const std::optional<json::Value>& body, const std::string& token,
                                  int timeout) {
    return requestReply(method, path, body, token, timeout, kAnswerReply).object;
}

MinutesResult TavroAPI::process(const std::filesystem::path& audioURL,
                                const std::string& templateId,
                                const std::optional<std::string>& templateInstruction,
                                const std::vector<std::string>& vocabulary,
                                const std::vector<std::string>& participants) {
    OpenFile file(audioURL);
    struct stat info {};
    if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        throw APIError::local(APIError::kUnreadableFile);
    const auto size = static_cast<std::uint64_t>(info.st_size);

    json::Value body = json::Value::object();
    body["mimeType"] = "audio/mp4";
    body["templateId"] = templateId;
    if (templateInstruction && !templateInstruction->empty())
        body["templateInstruction"] = *templateInstruction;
    if (!vocabulary.empty()) body["vocabulary"] = firstStrings(vocabulary, kMaxVocabulary);
    if (!participants.empty()) body["participants"] = firstStrings(participants, kMaxParticipants);

    if (size <= static_cast<std::uint64_t>(inlineLimit)) {
        body["inlineBase64"] = base64(readWhole(file.fd(), size));
    } else {
        body["fileUri"] = upload(file.fd(), size, audioURL.filename().string());
    }

    const Reply reply = postReply("/api/process", body, std::nullopt, 320, kMinutesReply);
    ProcessResponse response;
    try {
        response = ProcessResponse::fromJson(reply.object);
    } catch (const json::Error&) {
        throw APIError::service(APIError::kUnreadableReply, reply.status);
    }
    if (response.result) return *response.result;
    throw APIError::service(response.error.value_or("処理に失敗しました"), reply.status);
}

json::Value TavroAPI::makeAskAllMeetings(const std::vector<MinutesRecord>& records) {
    const std::size_t n = std::min(records.size(), kMaxAskAllMeetings);
    if (n == 0) throw APIError::local("検索対象の議事録を選択してください");
    const std::int64_t budget =
        std::max(kAskAllTranscriptBytes / static_cast<std::int64_t>(n), kAskAllMinimumBudget);

    json::Value meetings = json::Value::array();
    for (std::size_t i = 0; i < n; ++i) {
        const MinutesRecord& record = records[i];
        json::Value participants = json::Value::array();
        if (record.result.meta && record.result.meta->attendees) {
            const auto& attendees = *record.result.meta->attendees;
            for (std::size_t k = 0; k < attendees.size() && k < kMaxAskAllAttendees; ++k)
                participants.push_back(utf8Prefix(attendees[k], 300));
        }

        json::Value transcript = json::Value::array();
        std::int64_t remaining = budget;
        for (const TranscriptLine& line : record.result.transcript) {
            if (remaining < 1) break;
            std::string speaker = utf8Prefix(line.speaker, 300);
            std::string time = utf8Prefix(line.time.value_or(""), 120);
            const std::int64_t baseCost =
                byteCount(speaker) + byteCount(time) + kAskAllLineOverhead;
            const std::int64_t room =
                std::clamp(remaining - baseCost, std::int64_t{0}, kAskAllMaxLineText);
            std::string text = utf8Prefix(line.text, room);
            if (text.empty()) continue;
            remaining -= baseCost + byteCount(text);
            transcript.push_back({{"speaker", std::move(speaker)},
                                  {"time", std::move(time)},
                                  {"text", std::move(text)}});
        }

        json::Value meeting = json::Value::object();
        meeting["id"] = record.id;
        meeting["title"] = utf8Prefix(record.result.title, 900);
        meeting["date"] = iso8601::format(record.createdAt);
        meeting["participants"] = std::move(participants);
        meeting["transcript"] = std::move(transcript);
        meetings.push_back(std::move(meeting));
    }
    return meetings;
}

TavroAPI::AskAllAnswer TavroAPI::askAll(const std::string& question,
                                        const std::vector<MinutesRecord>& records,
                                        const std::string& token) {
    json::Value body = json::Value::object();
    body["question"] = question;
    body["meetings"] = makeAskAllMeetings(records);
    Reply reply = postReply("/api/ask-all", body, token, 90, kAnswerReply);
    auto answer = stringAt(reply.object, "answer");
    if (!answer) throw APIError::service("横断AIの回答を取得できませんでした", reply.status);
    AskAllAnswer out{std::move(*answer), {}};
    if (objectListAt(reply.object, "refs")) {
        // Moved out of the reply, never copied.
        json::Value& refs = reply.object["refs"];
        out.refs.assign(std::make_move_iterator(refs.begin()), std::make_move_iterator(refs.end()));
    }
    return out;
}

TavroAPI::CreatedShare TavroAPI::createSharedMinutes(const MinutesResult& result,
                                                     const std::vector<Collaborator>& collaborators,
                                                     bool isPublic, const std::string& token) {
    const Reply reply =
        postReply("/api/shared-minutes", sharedMinutesBody(result, collaborators, isPublic), token,
                  60, kMinutesReply);
    auto id = stringAt(reply.object, "id");
    if (!id) throw APIError::service("共有設定の作成に失敗しました", reply.status);
    return {*id, publicLink(reply.object)};
}

TavroAPI::ShareSettings TavroAPI::sharedMinutes(const std::string& id, const std::string& token) {
    const Reply reply =
        requestReply("GET", sharedMinutesPath(id), std::nullopt, token, 60, kMinutesReply);
    ShareSettings settings;
    if (const json::Value* list = objectListAt(reply.object, "collaborators")) {
        for (const auto& entry : *list) {
            auto email = stringAt(entry, "email");
            auto role = stringAt(entry, "role");
            if (email && role) settings.collaborators.push_back({*email, *role});
        }
    }
    const json::Value* isPublic = member(reply.object, "public");
    settings.isPublic = isPublic && isPublic->is_boolean() && json::asBool(*isPublic, "public");
    return settings;
}

std::optional<std::string> TavroAPI::updateSharedMinutes(
    const std::string& id, const MinutesResult& result,
    const std::vector<Collaborator>& collaborators, bool isPublic, const std::string& token) {
    const std::string path = sharedMinutesPath(id);
    const Reply reply =
        requestReply("PATCH", path, sharedMinutesBody(result, collaborators, isPublic), token, 60,
                     kMinutesReply);
    return publicLink(reply.object);
}

void TavroAPI::deleteSharedMinutes(const std::string& id, const std::string& token) {
    requestReply("DELETE", sharedMinutesPath(id), std::nullopt, token, 60, kSmallReply);
}

void TavroAPI::share(const std::string& target, const std::map<std::string, std::string>& config,
                     const MinutesResult& result, const std::string& templateLabel,
                     const std::string& token) {
    json::Value body = json::Value::object();
    body["target"] = target;
    body["config"] = json::Value::object();
    for (const auto& [key, value] : config) body["config"][key] = value;
    body["result"] = result.toJson();
    body["templateLabel"] = templateLabel;
    postReply("/api/share", body, token, 60, kSmallReply);
}

std::string TavroAPI::exportDocument(const std::string& format, const MinutesResult& result,
                                     const std::string& templateLabel) {
    json::Value body = json::Value::object();
    body["format"] = format;
    body["result"] = result.toJson();
    body["templateLabel"] = templateLabel;

    HttpClient::Request request;
    request.method = "POST";
    request.url = urlFor("/api/export");
    request.headers.emplace_back("Content-Type", "application/json");
    request.body = encodeBody(body);
    setLimits(request, 120, kDocumentReply);

    HttpClient::Response response = transmit(request);
    if (response.status >= 400) {
        auto parsed = parseReply(response.body);
        if (auto text = parsed ? stringAt(*parsed, "error") : std::nullopt)
            throw APIError::service(*text, response.status);
        throw APIError::service("書き出しに失敗しました (" + std::to_string(response.status) + ")",
                                response.status);
    }
    return std::move(response.body);
}

CustomTemplate TavroAPI::importTemplate(const std::string& text, const std::string& fileName) {
    json::Value body = json::Value::object();
    body["text"] = text::graphemePrefix(text, kTemplateTextCharacters);
    body["fileName"] = fileName;
    const Reply reply = postReply("/api/template-import", body, std::nullopt, 120, kSmallReply);

    auto label = stringAt(reply.object, "label");
    auto instruction = stringAt(reply.object, "instruction");
    if (!label || !instruction || instruction->empty()) {
        throw APIError::service(
            stringAt(reply.object, "error").value_or("テンプレートの解析に失敗しました"),
            reply.status);
    }
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    return CustomTemplate{"custom-" + std::to_string(millis), *label,
                          stringAt(reply.object, "description").value_or("取り込んだ議事録の構成"),
                          *instruction};
}

std::vector<TavroAPI::NotionPage> TavroAPI::notionPages(const std::string& token) {
    const Reply reply =
        postReply("/api/notion/pages", {{"token", token}}, std::nullopt, 60, kListReply);
    const json::Value* pages = objectListAt(reply.object, "pages");
    if (!pages) {
        throw APIError::service(
            stringAt(reply.object, "error").value_or("ページ一覧の取得に失敗しました"),
            reply.status);
    }
    std::vector<NotionPage> out;
    for (const auto& entry : *pages) {
        auto id = stringAt(entry, "id");
        if (!id) continue;
        out.push_back({*id, stringAt(entry, "title").value_or("無題")});
    }
    return out;
}

std::string TavroAPI::requestCode(const std::string& email) {
    const Reply reply =
        postReply("/api/auth/request-code", {{"email", email}}, std::nullopt, 30, kSmallReply);
    auto challenge = stringAt(reply.object, "challenge");
    if (!challenge) throw APIError::service("チャレンジ取得に失敗", reply.status);
    return *challenge;
}

TavroAPI::Login TavroAPI::verifyCode(const std::string& challenge, const std::string& code) {
    const Reply reply = postReply("/api/auth/verify", {{"challenge", challenge}, {"code", code}},
                                  std::nullopt, 30, kSmallReply);
    auto token = stringAt(reply.object, "token");
    auto email = stringAt(reply.object, "email");
    if (!token || !email) throw APIError::service("認証に失敗しました", reply.status);
    return {*token, *email};
}

TavroAPI::Account TavroAPI::me(const std::string& token) {
    HttpClient::Request request;
    request.method = "GET";
    request.url = urlFor("/api/me");
    request.headers.emplace_back("Authorization", "Bearer " + token);
    setLimits(request, 30, kSmallReply);

    const HttpClient::Response response = transmit(request);
    constexpr const char* kInvalidSession = "セッションが無効です";
    if (response.status != 200) throw APIError::service(kInvalidSession, response.status);
    auto parsed = parseReply(response.body);
    if (!parsed) throw APIError::service(APIError::kUnreadableReply, response.status);
    auto email = stringAt(*parsed, "email");
    if (!email) throw APIError::service(kInvalidSession, response.status);
    return {*email, stringAt(*parsed, "plan").value_or("free")};
}
