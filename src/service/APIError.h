#pragma once
#include <optional>
#include <stdexcept>
#include <string>

// The one error of the service client. Its text is what the user is shown. Besides the text it
// remembers where the failure came from, so that callers can tell "the service refused" (an
// HTTP status) from "no answer came at all" (network) and from a request that was never sent.
class APIError : public std::runtime_error {
public:
    enum class Source {
        local,    // found before anything was sent: a bad address, an unreadable file
        network,  // no HTTP answer: no connection, time-out, broken transfer
        service,  // an HTTP answer came; httpStatus() holds its status
    };

    // Texts of failures that the service never put into words itself.
    static constexpr const char* kCannotConnect =
        "サーバーに接続できませんでした。ネットワーク接続を確認してください";
    static constexpr const char* kTimedOut = "サーバーの応答がタイムアウトしました";
    static constexpr const char* kTransferFailed = "通信に失敗しました";
    static constexpr const char* kUnreadableReply = "サーバーの応答を読み取れませんでした";
    static constexpr const char* kReplyTooLarge = "サーバーの応答が大きすぎるため中断しました";
    static constexpr const char* kInvalidAddress = "接続先のURLが不正です";
    static constexpr const char* kUnencodable = "送信するデータを作成できませんでした";
    static constexpr const char* kUnreadableFile = "録音ファイルを読み込めませんでした";
    static constexpr const char* kUnexpected = "予期しないエラーが発生しました";

    static APIError local(std::string message);
    static APIError network(std::string message);
    static APIError service(std::string message, long httpStatus);

    // The user-facing text (also what()).
    const std::string& message() const { return message_; }
    Source source() const { return source_; }
    // The status of the answer the error came from; absent unless source() is service.
    std::optional<long> httpStatus() const;
    bool noResponse() const { return source_ == Source::network; }

    bool operator==(const APIError& other) const {
        return message_ == other.message_ && source_ == other.source_ && status_ == other.status_;
    }

private:
    APIError(std::string message, Source source, long status);

    std::string message_;
    Source source_;
    long status_;
};
