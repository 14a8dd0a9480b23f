#include "ui/main/dialogs/ShareAccessModel.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <set>
#include <utility>

#include "library/LibraryStore.h"
#include "service/SecureStore.h"
#include "service/ServiceCall.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

namespace {

constexpr const char* kFailed = "失敗";
constexpr const char* kSaving = "共有設定を保存中…";

// Every open model, and the records whose copy one of them is creating: a dialog closed during
// a create and opened again must not make a second copy before the first is linked.
std::set<ShareAccessModel*>& models() {
    static std::set<ShareAccessModel*> all;
    return all;
}
std::set<std::pair<const LibraryStore*, std::string>>& creating() {
    static std::set<std::pair<const LibraryStore*, std::string>> records;
    return records;
}

}  // namespace

ShareAccessModel::ShareAccessModel(LibraryStore& library, UserDefaults& defaults,
                                   std::string recordID, MinutesResult result, QObject* parent)
    : QObject(parent),
      library_(library),
      defaults_(defaults),
      recordID_(std::move(recordID)),
      result_(std::move(result)) {
    models().insert(this);
    // Another login may hold another copy of this record, or none: what it holds is read
    // before anything can be saved.
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kTokenKey) && authToken() != loadedToken_ && !released_) reload();
    });
}

ShareAccessModel::~ShareAccessModel() {
    models().erase(this);
}

bool ShareAccessModel::isCreating() const {
    return creating().count({&library_, recordID_}) > 0;
}

void ShareAccessModel::othersFollow(bool reloading) {
    for (ShareAccessModel* other : models()) {
        // This model too, when a new login made it wait for its own create.
        if ((other == this && !waiting_) || other->released_ || &other->library_ != &library_ ||
            other->recordID_ != recordID_)
            continue;
        if (reloading)
            other->reload();
        else
            emit other->changed();
    }
}

void ShareAccessModel::reload() {
    shareID_.reset();
    publicURL_.reset();
    loaded_ = false;
    loadFailed_ = false;
    emit changed();  // the buttons wait for the load
    loadExistingShare();
}

std::string ShareAccessModel::publicURLAccount(const std::string& shareID) {
    return kPublicURLPrefix + shareID;
}

QString ShareAccessModel::roleLabel(const std::string& role) {
    return role == kEditor ? QStringLiteral("編集者") : QStringLiteral("閲覧者");
}

std::optional<std::string> ShareAccessModel::normalizedEmail(std::string_view typed) {
    std::string email = text::lower(text::trim(typed));
    if (email.find('@') == std::string::npos) return std::nullopt;
    return email;
}

void ShareAccessModel::setEmail(std::string email) {
    if (email == email_) return;
    email_ = std::move(email);
    emit changed();
}

void ShareAccessModel::setRole(std::string role) {
    if (role == role_) return;
    role_ = std::move(role);
    emit changed();
}

void ShareAccessModel::setPublic(bool on) {
    if (on == isPublic_) return;
    isPublic_ = on;
    emit changed();
}

bool ShareAccessModel::statusIsError() const {
    return status_ && status_->find(kFailed) != std::string::npos;
}

std::string ShareAccessModel::authToken() const {
    return defaults_.stringValue(kTokenKey).value_or(std::string());
}

QString ShareAccessModel::primaryTitle() const {
    return shareID_ ? QStringLiteral("変更を保存") : QStringLiteral("共有を作成");
}

bool ShareAccessModel::canSave() const {
    return !authToken().empty() && !isSaving_ && loaded_ && !loadFailed_ && !isCreating();
}

bool ShareAccessModel::canDelete() const {
    return shareID_.has_value() && !isSaving_;
}

void ShareAccessModel::addMember() {
    const std::optional<std::string> email = normalizedEmail(email_);
    if (!email) return;
    std::erase_if(collaborators_, [&](const Collaborator& c) { return c.email == *email; });
    collaborators_.push_back({*email, role_});
    email_.clear();
    emit changed();
}

void ShareAccessModel::removeMember(std::size_t index) {
    if (index >= collaborators_.size()) return;
    collaborators_.erase(collaborators_.begin() + static_cast<std::ptrdiff_t>(index));
    emit changed();
}

void ShareAccessModel::setStatus(std::string text) {
    status_ = std::move(text);
}

void ShareAccessModel::begin() {
    ++pending_;
    isSaving_ = true;
}

void ShareAccessModel::end() {
    --pending_;
    isSaving_ = false;
    emit changed();
    if (released_ && pending_ == 0) deleteLater();
}

void ShareAccessModel::release() {
    released_ = true;
    if (pending_ == 0) deleteLater();
}

// --- Loading

void ShareAccessModel::loadExistingShare() {
    const std::uint64_t generation = ++loadGeneration_;
    const std::string token = authToken();
    loadedToken_ = token;
    if (waiting_) status_.reset();
    waiting_ = isCreating();
    if (waiting_) {
        // Loaded again once that create has linked its copy.
        setStatus(kSaving);
        emit changed();
        return;
    }
    const auto& references = library_.metadata(recordID_).remoteReferences;
    const auto found = references.find(kReferenceKey);
    if (token.empty() || found == references.end()) {
        loaded_ = true;
        emit changed();
        return;
    }
    const std::string id = found->second.remoteID;
    ++pending_;
    callService(
        this, [id, token] { return TavroAPI::sharedMinutes(id, token); },
        [this, generation, id](ServiceOutcome<TavroAPI::ShareSettings> outcome) {
            --pending_;
            if (generation == loadGeneration_) {
                if (outcome.ok()) {
                    shareID_ = id;
                    collaborators_ = outcome.value().collaborators;
                    isPublic_ = outcome.value().isPublic;
                    const std::string url = SecureStore::read(publicURLAccount(id));
                    publicURL_ = url.empty() ? std::nullopt : std::optional(url);
                    loadFailed_ = false;
                } else if (const auto http = outcome.error().httpStatus();
                           http == 403 || http == 410) {
                    // The stored copy is gone or another account's: a new one replaces the link.
                    setStatus(
                        "保存されていた共有は削除されたか、このアカウントのものではありません。"
                        "「共有を作成」で新しく共有できます。");
                } else {
                    setStatus("共有設定の読み込みに失敗: " + outcome.error().message());
                    // A copy the service no longer has leaves nothing to orphan; any other
                    // failure may hide a live copy, so no second one is made over its link.
                    loadFailed_ = http != 404;
                }
                loaded_ = true;
                emit changed();
            }
            if (released_ && pending_ == 0) deleteLater();
        });
}

// --- Saving

std::optional<std::string> ShareAccessModel::storeReference(const std::string& shareID) {
    const auto& references = library_.metadata(recordID_).remoteReferences;
    const auto found = references.find(kReferenceKey);
    if (found != references.end() && found->second.remoteID == shareID) return std::nullopt;
    try {
        library_.setRemoteReference(
            LibraryRemoteReference{kProvider, shareID, 1, std::chrono::system_clock::now()},
            kReferenceKey, recordID_);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

void ShareAccessModel::save() {
    if (!canSave()) return;
    begin();
    setStatus(kSaving);
    emit changed();
    const std::string token = authToken();
    const std::vector<Collaborator> members = collaborators_;
    const bool isPublic = isPublic_;
    MinutesResult result = result_;
    if (!shareID_) {
        creating().insert({&library_, recordID_});
        othersFollow(false);
        callService(
            this,
            [result = std::move(result), members, isPublic, token] {
                return TavroAPI::createSharedMinutes(result, members, isPublic, token);
            },
            [this](ServiceOutcome<TavroAPI::CreatedShare> outcome) {
                finishCreate(std::move(outcome));
            });
        return;
    }
    const std::string id = *shareID_;
    callService(
        this,
        [id, result = std::move(result), members, isPublic, token] {
            return TavroAPI::updateSharedMinutes(id, result, members, isPublic, token);
        },
        [this, id, isPublic](ServiceOutcome<std::optional<std::string>> outcome) {
            finishUpdate(id, isPublic, std::move(outcome));
        });
}

void ShareAccessModel::finishCreate(ServiceOutcome<TavroAPI::CreatedShare> outcome) {
    creating().erase({&library_, recordID_});
    if (!outcome.ok()) {
        setStatus("作成に失敗: " + outcome.error().message());
        othersFollow(true);
        end();
        return;
    }
    const TavroAPI::CreatedShare& created = outcome.value();
    // The copy exists on the service whatever happens here: its id and public address are kept
    // in the dialog and the secret store even when the library cannot record the link, so
    // that it can still be reached and deleted.
    const std::optional<std::string> localError = storeReference(created.id);
    if (created.publicURL) SecureStore::write(*created.publicURL, publicURLAccount(created.id));
    shareID_ = created.id;
    publicURL_ = created.publicURL;
    setStatus(localError ? "共有設定を作成しましたが、ライブラリへの保存に失敗: " + *localError
                         : "共有設定を作成しました");
    othersFollow(true);
    end();
}

void ShareAccessModel::finishUpdate(const std::string& id, bool isPublic,
                                    ServiceOutcome<std::optional<std::string>> outcome) {
    if (!outcome.ok()) {
        setStatus("作成に失敗: " + outcome.error().message());
        end();
        return;
    }
    const std::optional<std::string>& url = outcome.value();
    if (url) SecureStore::write(*url, publicURLAccount(id));
    if (!isPublic) SecureStore::remove(publicURLAccount(id));
    if (url) publicURL_ = url;
    if (!isPublic) publicURL_.reset();
    // A link that an earlier save could not record is recorded now.
    const std::optional<std::string> localError = storeReference(id);
    setStatus(localError ? "共有設定を更新しましたが、ライブラリへの保存に失敗: " + *localError
                         : "共有設定を更新しました");
    end();
}

// --- Deleting

void ShareAccessModel::deleteShare() {
    if (!canDelete()) return;
    begin();
    emit changed();
    const std::string id = *shareID_;
    const std::string token = authToken();
    callService(
        this, [id, token] { TavroAPI::deleteSharedMinutes(id, token); },
        [this, id](ServiceOutcome<std::monostate> outcome) {
            finishDelete(id, std::move(outcome));
        });
}

void ShareAccessModel::finishDelete(const std::string& id, ServiceOutcome<std::monostate> outcome) {
    if (!outcome.ok()) {
        setStatus("削除に失敗: " + outcome.error().message());
        end();
        return;
    }
    // The copy is gone from the service: the dialog and the secret store follow even when the
    // library cannot drop its link.
    std::optional<std::string> localError;
    try {
        library_.setRemoteReference(std::nullopt, kReferenceKey, recordID_);
    } catch (const std::exception& e) {
        localError = e.what();
    }
    SecureStore::remove(publicURLAccount(id));
    shareID_.reset();
    publicURL_.reset();
    collaborators_.clear();
    isPublic_ = false;
    setStatus(localError ? "共有を削除しましたが、ライブラリの更新に失敗: " + *localError
                         : "共有を削除しました");
    end();
}
