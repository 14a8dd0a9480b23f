#include "ui/main/dialogs/AskAllModel.h"

#include <algorithm>

#include "service/ServiceCall.h"
#include "service/TavroAPI.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

AskAllModel::AskAllModel(std::vector<MinutesRecord> records, UserDefaults& defaults,
                         QObject* parent)
    : QObject(parent), records_(std::move(records)), defaults_(defaults) {
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kTokenKey)) emit changed();
    });
}

std::vector<AskReference> AskAllModel::references(const std::vector<json::Value>& entries,
                                                  const std::vector<MinutesRecord>& records) {
    std::vector<AskReference> out;
    for (const json::Value& entry : entries) {
        if (!entry.is_object()) continue;
        const auto id = entry.find("meetingId");
        const auto line = entry.find("line");
        if (id == entry.end() || !id->is_string() || line == entry.end() || !json::isInteger(*line))
            continue;
        const std::int64_t number = json::asInt(*line, "line");
        if (number < 0) continue;
        const std::string meetingID = id->get<std::string>();
        const auto record = std::find_if(records.begin(), records.end(),
                                         [&](const MinutesRecord& r) { return r.id == meetingID; });
        if (record == records.end()) continue;
        out.push_back({meetingID, record->result.title + " — 文字起こし " +
                                      std::to_string(number + 1) + "行目"});
    }
    return out;
}

std::size_t AskAllModel::toggleCount() const {
    return std::min(records_.size(), kLimit);
}

void AskAllModel::setSelected(const std::string& id, bool on) {
    if (on == isSelected(id)) return;
    if (on)
        selected_.insert(id);
    else
        selected_.erase(id);
    emit changed();
}

QString AskAllModel::scopeTitle() const {
    return QStringLiteral("検索対象（%1件）").arg(selected_.size());
}

void AskAllModel::setQuestion(std::string question) {
    if (question == question_) return;
    question_ = std::move(question);
    emit changed();
}

bool AskAllModel::loggedIn() const {
    return !defaults_.stringValue(kTokenKey).value_or(std::string()).empty();
}

bool AskAllModel::canAsk() const {
    return !text::trim(question_).empty() && !isLoading_ && loggedIn();
}

void AskAllModel::appeared() {
    if (!selected_.empty()) return;
    for (std::size_t i = 0; i < toggleCount(); ++i) selected_.insert(records_[i].id);
    emit changed();
}

void AskAllModel::ask() {
    if (!canAsk()) return;
    const std::uint64_t generation = ++generation_;
    isLoading_ = true;
    errorMessage_.reset();
    answer_.clear();
    references_.clear();
    emit changed();

    std::vector<MinutesRecord> chosen;
    for (const MinutesRecord& r : records_)
        if (isSelected(r.id)) chosen.push_back(r);
    const std::string token = defaults_.stringValue(kTokenKey).value_or(std::string());
    callService(
        this,
        [question = question_, chosen = std::move(chosen), token] {
            return TavroAPI::askAll(question, chosen, token);
        },
        [this, generation](ServiceOutcome<TavroAPI::AskAllAnswer> outcome) {
            if (generation != generation_) return;
            if (outcome.ok()) {
                answer_ = outcome.value().answer;
                references_ = references(outcome.value().refs, records_);
            } else {
                errorMessage_ = outcome.error().message();
            }
            isLoading_ = false;
            emit changed();
        });
}
