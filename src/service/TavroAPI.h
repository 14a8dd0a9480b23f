#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/CustomTemplate.h"
#include "model/MinutesRecord.h"
#include "model/MinutesResult.h"
#include "service/APIError.h"
#include "util/Json.h"

// Every request the app sends to the maker's service. All operations block until the answer
// is in, so run them on a worker thread (callService() in ServiceCall.h does that and hands the
// outcome back to the GUI thread). Every failure is thrown as an APIError whose text can be
// shown to the user as it is.
//
// Time-outs are in seconds and count inactivity, not total time.
class TavroAPI {
public:
    TavroAPI() = delete;

    // The largest recording sent inside the processing request; larger ones are uploaded.
    static constexpr std::int64_t inlineLimit = 3145728;
    // Used when TAVRO_SERVICE_URL is not set.
    static constexpr const char* kDefaultBase = "https://tavro.brindel.jp";

    // The service's address without a trailing "/": TAVRO_SERVICE_URL when set, else the
    // compiled-in default. Read at every call, so tests can point it at a local service.
    static std::string base();

    // --- transport shared by the endpoint calls ---

    // POST a JSON body to `path` (base + path; a path starting "http" is a whole URL). A token,
    // even an empty one, is sent as a bearer token. The reply must be a JSON object; a status of
    // 400 or more fails with the reply's "error" text or "APIエラー (status)".
    static json::Value postJSON(const std::string& path, const json::Value& body,
                                const std::optional<std::string>& token = std::nullopt,
                                int timeout = 320);
    // Any method with a bearer token and an optional JSON body. 204 and unreadable replies
    // count as an empty object; 400 or more fails as in postJSON.
    static json::Value requestJSON(const std::string& method, const std::string& path,
                                   const std::optional<json::Value>& body, const std::string& token,
                                   int timeout = 60);

    // --- processing ---

    // Sends one recording and returns the minutes. Up to inlineLimit bytes travel inside the
    // request; a larger file is streamed from disk to an upload address first.
    static MinutesResult process(const std::filesystem::path& audioURL,
                                 const std::string& templateId,
                                 const std::optional<std::string>& templateInstruction,
                                 const std::vector<std::string>& vocabulary = {},
                                 const std::vector<std::string>& participants = {});

    // --- ask-across ---

    struct AskAllAnswer {
        std::string answer;
        std::vector<json::Value> refs;  // the service's reference objects, unchanged
    };
    static AskAllAnswer askAll(const std::string& question,
                               const std::vector<MinutesRecord>& records, const std::string& token);
    // The size-bounded digest of at most 100 records that askAll sends.
    static json::Value makeAskAllMeetings(const std::vector<MinutesRecord>& records);

    // --- hosted shared minutes ---

    struct Collaborator {
        std::string email;
        std::string role;
        bool operator==(const Collaborator&) const = default;
    };
    struct CreatedShare {
        std::string id;
        std::optional<std::string> publicURL;
    };
    struct ShareSettings {
        std::vector<Collaborator> collaborators;
        bool isPublic = false;
    };
    static CreatedShare createSharedMinutes(const MinutesResult& result,
                                            const std::vector<Collaborator>& collaborators,
                                            bool isPublic, const std::string& token);
    static ShareSettings sharedMinutes(const std::string& id, const std::string& token);
    // Returns the public link when the service names one.
    static std::optional<std::string> updateSharedMinutes(
        const std::string& id, const MinutesResult& result,
        const std::vector<Collaborator>& collaborators, bool isPublic, const std::string& token);
    static void deleteSharedMinutes(const std::string& id, const std::string& token);

    // --- integrations, export, template import, Notion ---

    static void share(const std::string& target, const std::map<std::string, std::string>& config,
                      const MinutesResult& result, const std::string& templateLabel,
                      const std::string& token);
    // The document ("pdf" or "docx") as raw bytes. Named so because `export` is a keyword.
    static std::string exportDocument(const std::string& format, const MinutesResult& result,
                                      const std::string& templateLabel);
    static CustomTemplate importTemplate(const std::string& text, const std::string& fileName);

    struct NotionPage {
        std::string id;
        std::string title;
        bool operator==(const NotionPage&) const = default;
    };
    static std::vector<NotionPage> notionPages(const std::string& token);

    // --- login ---

    struct Login {
        std::string token;
        std::string email;
    };
    struct Account {
        std::string email;
        std::string plan;
    };
    // Returns the challenge that verifyCode needs.
    static std::string requestCode(const std::string& email);
    static Login verifyCode(const std::string& challenge, const std::string& code);
    // Anything but a 200 answer with an "email" is "セッションが無効です"; a network failure
    // stays a network failure (APIError::noResponse()).
    static Account me(const std::string& token);
};
