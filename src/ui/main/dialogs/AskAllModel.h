#pragma once
// The ask-across dialog's state and work: one question over the ticked records (at most the
// first 100 of the store's list), its answer and the transcript lines it names.
#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/MinutesRecord.h"
#include "ui/main/dialogs/AskReference.h"
#include "util/Json.h"

class UserDefaults;

class AskAllModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kLimit = 100;
    static constexpr const char* kTokenKey = "authToken";

    // `records`: every stored record, newest first.
    AskAllModel(std::vector<MinutesRecord> records, UserDefaults& defaults,
                QObject* parent = nullptr);

    // The service's reference entries as links: entries without a text "meetingId", a
    // non-negative integer "line" or a record of that id are left out.
    static std::vector<AskReference> references(const std::vector<json::Value>& entries,
                                                const std::vector<MinutesRecord>& records);

    const std::vector<MinutesRecord>& records() const { return records_; }
    // How many records get a toggle: the first ones, up to kLimit.
    std::size_t toggleCount() const;
    bool isSelected(const std::string& id) const { return selected_.count(id) > 0; }
    void setSelected(const std::string& id, bool on);
    const std::set<std::string>& selectedRecordIDs() const { return selected_; }
    QString scopeTitle() const;

    const std::string& question() const { return question_; }
    void setQuestion(std::string question);
    const std::string& answer() const { return answer_; }
    const std::vector<AskReference>& references() const { return references_; }
    bool isLoading() const { return isLoading_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    bool loggedIn() const;

    // The button's rule, which the Return key obeys too: a question that is not blank, none
    // running, and a login.
    bool canAsk() const;
    void ask();
    // The sheet is shown: an empty selection becomes the first kLimit records.
    void appeared();

signals:
    void changed();

private:
    std::vector<MinutesRecord> records_;
    UserDefaults& defaults_;
    std::set<std::string> selected_;
    std::string question_;
    std::string answer_;
    std::vector<AskReference> references_;
    bool isLoading_ = false;
    std::optional<std::string> errorMessage_;
    // Only the answer of the latest question is shown.
    std::uint64_t generation_ = 0;
};
