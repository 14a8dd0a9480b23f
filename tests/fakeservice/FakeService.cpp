#include "fakeservice/FakeService.h"

#include <httplib.h>

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "fakeservice/SampleMinutes.h"

namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexValue(s[i + 1]);
            const int lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

const json::Value* field(const json::Value& obj, const char* key) {
    if (!obj.is_object()) return nullptr;
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

std::optional<std::string> stringField(const json::Value& obj, const char* key) {
    const json::Value* v = field(obj, key);
    if (v == nullptr || !v->is_string()) return std::nullopt;
    return json::asString(*v, key);
}

// A literal's bytes, embedded NULs included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
};

Answer jsonAnswer(int status, const json::Value& body) {
    return {status, json::dumpCompact(body), "application/json"};
}

Answer errorAnswer(int status, const std::string& message) {
    return jsonAnswer(status, {{"error", message}});
}

struct SharedCopy {
    json::Value result;
    json::Value collaborators;
    bool isPublic = false;
    std::string publicToken;
};

}  // namespace

struct FakeService::State {
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::vector<Request> requests;
    std::map<std::pair<std::string, std::string>, Reply> scripts;
    std::size_t recordedBodyLimit = 16 * 1024 * 1024;
    std::map<std::string, std::pair<std::string, std::string>> tokens;  // token -> email, plan
    std::map<std::string, std::string> challenges;                      // challenge -> email
    std::map<std::string, std::uint64_t> uploadSlots;                   // slot -> announced size
    std::set<std::string> uploadedFiles;
    std::map<std::string, SharedCopy> shared;
    std::string latestVersion = "0.1.0";
    int counter = 0;

    // Delayed answers wait here so that stopping the service never waits for them.
    std::mutex sleepMutex;
    std::condition_variable sleepCv;
    bool stopping = false;

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    std::string next(const char* prefix) { return prefix + std::to_string(++counter); }

    void handle(const httplib::Request& req, httplib::Response& res,
                const httplib::ContentReader* reader);
    Answer route(const Request& r);
    std::optional<std::pair<std::string, std::string>> account(const Request& r);

    Answer process(const Request& r);
    Answer uploadUrl(const Request& r);
    Answer upload(const Request& r, const std::string& slot);
    Answer askAll(const Request& r);
    Answer sharedMinutes(const Request& r, const std::string& id);
    Answer share(const Request& r);
    Answer exportDocument(const Request& r);
    Answer templateImport(const Request& r);
    Answer notionPages(const Request& r);
    Answer requestCode(const Request& r);
    Answer verify(const Request& r);
    Answer me(const Request& r);
};

// --- Request / Reply ---

std::optional<std::string> FakeService::Request::header(std::string_view name) const {
    const std::string wanted = lowered(name);
    for (const auto& [key, value] : headers)
        if (lowered(key) == wanted) return value;
    return std::nullopt;
}

json::Value FakeService::Request::json() const {
    return json::parse(body);
}

FakeService::Reply FakeService::Reply::withJson(int status, const json::Value& body) {
    return {status, json::dumpCompact(body), "application/json", {}};
}

FakeService::Reply FakeService::Reply::withBody(int status, std::string body,
                                                std::string contentType) {
    return {status, std::move(body), std::move(contentType), {}};
}

FakeService::Reply FakeService::Reply::late(std::chrono::milliseconds delay) {
    Reply r;
    r.delay = delay;
    return r;
}

// --- the server ---

FakeService::FakeService(int port) : state_(std::make_unique<State>()) {
    State* s = state_.get();
    s->server.set_keep_alive_timeout(1);
    auto withBody = [s](const httplib::Request& req, httplib::Response& res,
                        const httplib::ContentReader& reader) { s->handle(req, res, &reader); };
    auto withoutBody = [s](const httplib::Request& req, httplib::Response& res) {
        s->handle(req, res, nullptr);
    };
    s->server.Get(".*", withoutBody);
    s->server.Post(".*", withBody);
    s->server.Put(".*", withBody);
    s->server.Patch(".*", withBody);
    s->server.Delete(".*", withBody);

    if (port == 0) {
        s->port = s->server.bind_to_any_port("127.0.0.1");
    } else if (s->server.bind_to_port("127.0.0.1", port)) {
        s->port = port;
    }
    if (s->port <= 0) throw std::runtime_error("fake service: cannot listen on 127.0.0.1");
    // The socket already listens, so clients may connect before the accept loop runs.
    s->thread = std::thread([s] { s->server.listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so the destructor needs it running.
    while (!s->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeService::~FakeService() {
    {
        std::lock_guard lock(state_->sleepMutex);
        state_->stopping = true;
    }
    state_->sleepCv.notify_all();
    state_->server.stop();
    if (state_->thread.joinable()) state_->thread.join();
}

int FakeService::port() const {
    return state_->port;
}

std::string FakeService::baseUrl() const {
    return state_->base();
}

void FakeService::script(const std::string& method, const std::string& path, Reply reply) {
    std::lock_guard lock(state_->mutex);
    state_->scripts[{method, path}] = std::move(reply);
}

void FakeService::clearScripts() {
    std::lock_guard lock(state_->mutex);
    state_->scripts.clear();
}

std::vector<FakeService::Request> FakeService::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::vector<FakeService::Request> FakeService::requests(const std::string& method,
                                                        const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    std::vector<Request> out;
    for (const auto& r : state_->requests)
        if (r.method == method && r.path == path) out.push_back(r);
    return out;
}

void FakeService::clearRequests() {
    std::lock_guard lock(state_->mutex);
    state_->requests.clear();
}

void FakeService::setRecordedBodyLimit(std::size_t bytes) {
    std::lock_guard lock(state_->mutex);
    state_->recordedBodyLimit = bytes;
}

std::string FakeService::issueToken(const std::string& email, const std::string& plan) {
    std::lock_guard lock(state_->mutex);
    std::string token = state_->next("tok-");
    state_->tokens[token] = {email, plan};
    return token;
}

void FakeService::setLatestVersion(const std::string& version) {
    std::lock_guard lock(state_->mutex);
    state_->latestVersion = version;
}

std::optional<json::Value> FakeService::sharedCopy(const std::string& id) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->shared.find(id);
    if (it == state_->shared.end()) return std::nullopt;
    return json::Value{{"result", it->second.result},
                       {"collaborators", it->second.collaborators},
                       {"public", it->second.isPublic}};
}

void FakeService::State::handle(const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader* reader) {
    Request r;
    r.method = req.method;
    r.target = req.target;
    r.path = req.path;
    for (const auto& [key, value] : req.headers) r.headers.emplace_back(key, value);

    // Uploads are kept only up to the limit, so a large one costs no memory here; every other
    // body is JSON that the endpoints read whole.
    std::size_t limit = std::string::npos;
    if (r.target.starts_with("/upload/")) {
        std::lock_guard lock(mutex);
        limit = recordedBodyLimit;
    }
    auto keep = [&r, limit](const char* data, std::size_t length) {
        r.bodySize += length;
        if (r.body.size() < limit) r.body.append(data, std::min(length, limit - r.body.size()));
        return true;
    };
    // Without a length or chunking a request has no body; asking the reader would wait for
    // the connection to close.
    const bool hasBody = req.has_header("Content-Length") || req.has_header("Transfer-Encoding");
    if (reader != nullptr && hasBody)
        (*reader)(keep);
    else
        keep(req.body.data(), req.body.size());

    std::optional<Reply> scripted;
    const std::string rawPath = r.target.substr(0, r.target.find('?'));
    {
        std::lock_guard lock(mutex);
        requests.push_back(r);
        auto it = scripts.find({r.method, rawPath});
        if (it != scripts.end()) scripted = it->second;
    }

    if (scripted && scripted->delay.count() > 0) {
        std::unique_lock lock(sleepMutex);
        sleepCv.wait_for(lock, scripted->delay, [this] { return stopping; });
    }
    Answer answer;
    if (scripted && scripted->status && scripted->body) {
        answer = {*scripted->status, *scripted->body, scripted->contentType};
    } else {
        answer = route(r);
        if (scripted && scripted->status) answer.status = *scripted->status;
        if (scripted && scripted->body)
            answer = {answer.status, *scripted->body, scripted->contentType};
    }
    res.status = answer.status;
    if (answer.status != 204) res.set_content(answer.body, answer.contentType.c_str());
}

Answer FakeService::State::route(const Request& r) {
    const std::string rawPath = r.target.substr(0, r.target.find('?'));
    const std::string& m = r.method;
    try {
        if (m == "POST" && rawPath == "/api/process") return process(r);
        if (m == "POST" && rawPath == "/api/upload-url") return uploadUrl(r);
        if (m == "POST" && rawPath.starts_with("/upload/")) return upload(r, rawPath.substr(8));
        if (m == "POST" && rawPath == "/api/ask-all") return askAll(r);
        if (rawPath == "/api/shared-minutes") {
            if (m == "POST") return sharedMinutes(r, "");
        } else if (rawPath.starts_with("/api/shared-minutes/")) {
            const std::string segment = rawPath.substr(20);
            // One segment only: an id that was not encoded would reach another resource.
            if (segment.find('/') == std::string::npos)
                return sharedMinutes(r, percentDecode(segment));
        }
        if (m == "POST" && rawPath == "/api/share") return share(r);
        if (m == "POST" && rawPath == "/api/export") return exportDocument(r);
        if (m == "POST" && rawPath == "/api/template-import") return templateImport(r);
        if (m == "POST" && rawPath == "/api/notion/pages") return notionPages(r);
        if (m == "POST" && rawPath == "/api/auth/request-code") return requestCode(r);
        if (m == "POST" && rawPath == "/api/auth/verify") return verify(r);
        if (m == "GET" && rawPath == "/api/me") return me(r);
        if (m == "GET" && rawPath == "/version.json") {
            std::lock_guard lock(mutex);
            return jsonAnswer(
                200, {{"version", latestVersion}, {"dmgUrl", base() + "/download/TAVRO.dmg"}});
        }
        if (m == "GET" && rawPath == "/download/TAVRO.dmg")
            return {200, std::string("koly fake disk image\n"), "application/x-apple-diskimage"};
    } catch (const json::Error&) {
        return errorAnswer(400, "リクエストの形式が正しくありません");
    }
    return errorAnswer(404, "見つかりません");
}

std::optional<std::pair<std::string, std::string>> FakeService::State::account(const Request& r) {
    auto header = r.header("Authorization");
    if (!header || !header->starts_with("Bearer ")) return std::nullopt;
    std::lock_guard lock(mutex);
    auto it = tokens.find(header->substr(7));
    if (it == tokens.end()) return std::nullopt;
    return it->second;
}

Answer FakeService::State::process(const Request& r) {
    const json::Value body = r.json();
    if (stringField(body, "mimeType") != "audio/mp4" || !stringField(body, "templateId"))
        return errorAnswer(400, "リクエストの形式が正しくありません");
    auto inlineAudio = stringField(body, "inlineBase64");
    auto fileUri = stringField(body, "fileUri");
    if (inlineAudio.has_value() == fileUri.has_value())
        return errorAnswer(400, "音声データがありません");
    if (inlineAudio) {
        const QByteArray decoded = QByteArray::fromBase64(QByteArray::fromStdString(*inlineAudio),
                                                          QByteArray::AbortOnBase64DecodingErrors);
        if (decoded.isEmpty()) return errorAnswer(400, "音声データを読み取れませんでした");
        // An MPEG-4 file without a media data box: a recording stopped before any audio came.
        if (decoded.mid(4, 4) == "ftyp" && !decoded.contains("mdat"))
            return errorAnswer(400, "音声が含まれていません");
    } else {
        std::lock_guard lock(mutex);
        if (!uploadedFiles.count(*fileUri))
            return errorAnswer(404, "アップロードされた音声が見つかりません");
    }
    return jsonAnswer(200, {{"result", sampleMinutesJson()}});
}

Answer FakeService::State::uploadUrl(const Request& r) {
    const json::Value body = r.json();
    const json::Value* size = field(body, "sizeBytes");
    if (!size || !json::isInteger(*size) || json::asInt(*size, "sizeBytes") <= 0 ||
        !stringField(body, "displayName"))
        return errorAnswer(400, "リクエストの形式が正しくありません");
    std::lock_guard lock(mutex);
    const std::string slot = next("slot-");
    uploadSlots[slot] = static_cast<std::uint64_t>(json::asInt(*size, "sizeBytes"));
    return jsonAnswer(200, {{"uploadUrl", base() + "/upload/" + slot}});
}

Answer FakeService::State::upload(const Request& r, const std::string& slot) {
    if (r.header("X-Goog-Upload-Command") != "upload, finalize" ||
        r.header("X-Goog-Upload-Offset") != "0")
        return errorAnswer(400, "アップロードの指定が正しくありません");
    std::lock_guard lock(mutex);
    auto it = uploadSlots.find(slot);
    if (it == uploadSlots.end()) return errorAnswer(404, "アップロード先が見つかりません");
    if (it->second != r.bodySize) return errorAnswer(400, "サイズが一致しません");
    uploadSlots.erase(it);
    const std::string uri = base() + "/files/" + slot;
    uploadedFiles.insert(uri);
    return jsonAnswer(200, {{"file",
                             {{"name", "files/" + slot},
                              {"uri", uri},
                              {"mimeType", "audio/mp4"},
                              {"sizeBytes", std::to_string(r.bodySize)}}}});
}

Answer FakeService::State::askAll(const Request& r) {
    if (!account(r)) return errorAnswer(401, "ログインが必要です");
    const json::Value body = r.json();
    const json::Value* meetings = field(body, "meetings");
    if (!stringField(body, "question") || !meetings || !meetings->is_array() || meetings->empty())
        return errorAnswer(400, "リクエストの形式が正しくありません");
    json::Value refs = json::Value::array();
    for (const auto& meeting : *meetings) {
        const json::Value* transcript = field(meeting, "transcript");
        auto id = stringField(meeting, "id");
        if (id && transcript && transcript->is_array() && !transcript->empty())
            refs.push_back({{"meetingId", *id}, {"line", 0}});
    }
    return jsonAnswer(200, {{"answer", "選択された " + std::to_string(meetings->size()) +
                                           " 件の会議では、公開日を1月15日に確定し、"
                                           "FAQの拡充を進めることが決まっています。"},
                            {"refs", refs}});
}

Answer FakeService::State::sharedMinutes(const Request& r, const std::string& id) {
    if (!account(r)) return errorAnswer(401, "ログインが必要です");
    std::lock_guard lock(mutex);
    if (r.method == "POST" || r.method == "PATCH") {
        const json::Value body = r.json();
        const json::Value* result = field(body, "result");
        const json::Value* collaborators = field(body, "collaborators");
        const json::Value* isPublic = field(body, "public");
        if (!result || !result->is_object() || !collaborators || !collaborators->is_array() ||
            !isPublic || !isPublic->is_boolean())
            return errorAnswer(400, "リクエストの形式が正しくありません");
        std::string key = id;
        if (r.method == "POST") {
            key = next("sm-");
        } else if (!shared.count(key)) {
            return errorAnswer(404, "共有された議事録が見つかりません");
        }
        SharedCopy& copy = shared[key];
        copy.result = *result;
        copy.collaborators = *collaborators;
        copy.isPublic = json::asBool(*isPublic, "public");
        if (copy.isPublic && copy.publicToken.empty()) copy.publicToken = next("pub-");
        json::Value reply = json::Value::object();
        if (r.method == "POST") reply["id"] = key;
        if (copy.isPublic) reply["publicToken"] = copy.publicToken;
        return jsonAnswer(200, reply);
    }
    auto it = shared.find(id);
    if (it == shared.end()) return errorAnswer(404, "共有された議事録が見つかりません");
    if (r.method == "GET") {
        return jsonAnswer(200, {{"id", id},
                                {"result", it->second.result},
                                {"collaborators", it->second.collaborators},
                                {"public", it->second.isPublic}});
    }
    if (r.method == "DELETE") {
        shared.erase(it);
        return {204, "", "application/json"};
    }
    return errorAnswer(405, "許可されていない操作です");
}

Answer FakeService::State::share(const Request& r) {
    if (!account(r)) return errorAnswer(401, "ログインが必要です");
    static const std::set<std::string> targets = {"notion",  "slack",      "discord",
                                                  "hubspot", "salesforce", "zapier"};
    const json::Value body = r.json();
    auto target = stringField(body, "target");
    if (!target || !targets.count(*target)) return errorAnswer(400, "未対応の連携先です");
    const json::Value* result = field(body, "result");
    if (!result || !result->is_object() || !stringField(body, "templateLabel"))
        return errorAnswer(400, "リクエストの形式が正しくありません");
    return jsonAnswer(200, {{"ok", true}, {"target", *target}});
}

Answer FakeService::State::exportDocument(const Request& r) {
    const json::Value body = r.json();
    auto format = stringField(body, "format");
    const json::Value* result = field(body, "result");
    if (!result || !result->is_object()) return errorAnswer(400, "議事録がありません");
    // Binary on purpose: NUL and bytes that are not UTF-8 must come back unchanged.
    if (format == "pdf")
        return {200, bytes("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n\0fake minutes\n%%EOF\n"),
                "application/pdf"};
    if (format == "docx")
        return {200, bytes("PK\x03\x04\x14\0\0\0\x08\0fake word document"),
                "application/vnd.openxmlformats-officedocument.wordprocessingml.document"};
    return errorAnswer(400, "未対応の形式です");
}

Answer FakeService::State::templateImport(const Request& r) {
    const json::Value body = r.json();
    auto text = stringField(body, "text");
    auto fileName = stringField(body, "fileName");
    if (!text || !fileName) return errorAnswer(400, "リクエストの形式が正しくありません");
    if (text->empty()) return errorAnswer(422, "文書からテキストを読み取れませんでした");
    const std::string stem = fileName->substr(0, fileName->rfind('.'));
    return jsonAnswer(200, {{"label", stem + " 形式"},
                            {"description", "「" + *fileName + "」の構成に合わせた議事録"},
                            {"instruction",
                             "次の見出しの順に議事録を作成してください: 日時・出席者、議題、"
                             "決定事項、宿題事項。"}});
}

Answer FakeService::State::notionPages(const Request& r) {
    const json::Value body = r.json();
    auto token = stringField(body, "token");
    if (!token || token->empty()) return errorAnswer(401, "Notionのトークンが無効です");
    return jsonAnswer(200, {{"pages",
                             {{{"id", "0f1e2d3c-notion-page-1"}, {"title", "議事録データベース"}},
                              {{"id", "0f1e2d3c-notion-page-2"}, {"title", "営業チーム"}},
                              {{"id", "0f1e2d3c-notion-page-3"}}}}});
}

Answer FakeService::State::requestCode(const Request& r) {
    auto email = stringField(r.json(), "email");
    if (!email || email->find('@') == std::string::npos)
        return errorAnswer(400, "メールアドレスが正しくありません");
    std::lock_guard lock(mutex);
    const std::string challenge = next("ch-");
    challenges[challenge] = *email;
    return jsonAnswer(200, {{"challenge", challenge}});
}

Answer FakeService::State::verify(const Request& r) {
    const json::Value body = r.json();
    auto challenge = stringField(body, "challenge");
    auto code = stringField(body, "code");
    std::lock_guard lock(mutex);
    auto it = challenge ? challenges.find(*challenge) : challenges.end();
    if (it == challenges.end() || code != kLoginCode)
        return errorAnswer(401, "コードが正しくありません");
    const std::string email = it->second;
    challenges.erase(it);
    const std::string token = next("tok-");
    tokens[token] = {email, "free"};
    return jsonAnswer(200, {{"token", token}, {"email", email}});
}

Answer FakeService::State::me(const Request& r) {
    auto who = account(r);
    if (!who) return errorAnswer(401, "unauthorized");
    return jsonAnswer(200, {{"email", who->first}, {"plan", who->second}});
}
