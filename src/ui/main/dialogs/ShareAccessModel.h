#pragma once
// The share-access dialog's state and work: the members and the public flag of one record's
// hosted copy, loaded when the dialog opens, created on the first save, updated on later ones,
// deleted on request. The link to the copy lives in the library ("tavro-share"), its public
// address in the secret store.
//
// A request runs to its end even when the dialog goes: the dialog calls release() instead of
// deleting the model, and the model deletes itself once no request is left.
#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/MinutesResult.h"
#include "service/ServiceOutcome.h"
#include "service/TavroAPI.h"

class LibraryStore;
class UserDefaults;

class ShareAccessModel : public QObject {
    Q_OBJECT
public:
    using Collaborator = TavroAPI::Collaborator;

    static constexpr const char* kReferenceKey = "tavro-share";
    static constexpr const char* kProvider = "tavro";
    static constexpr const char* kPublicURLPrefix = "sharePublicURL:";
    static constexpr const char* kTokenKey = "authToken";
    static constexpr const char* kViewer = "viewer";
    static constexpr const char* kEditor = "editor";

    ShareAccessModel(LibraryStore& library, UserDefaults& defaults, std::string recordID,
                     MinutesResult result, QObject* parent = nullptr);
    ~ShareAccessModel() override;

    // The secret store account of a copy's public address.
    static std::string publicURLAccount(const std::string& shareID);
    static QString roleLabel(const std::string& role);
    // A typed address as it is listed: trimmed and lower-cased; none without "@".
    static std::optional<std::string> normalizedEmail(std::string_view typed);

    const std::string& recordID() const { return recordID_; }
    const std::string& email() const { return email_; }
    void setEmail(std::string email);
    const std::string& role() const { return role_; }
    void setRole(std::string role);
    const std::vector<Collaborator>& collaborators() const { return collaborators_; }
    bool isPublic() const { return isPublic_; }
    void setPublic(bool on);
    bool isSaving() const { return isSaving_; }
    const std::optional<std::string>& status() const { return status_; }
    bool statusIsError() const;
    const std::optional<std::string>& publicURL() const { return publicURL_; }
    const std::optional<std::string>& shareID() const { return shareID_; }
    bool loaded() const { return loaded_; }
    std::string authToken() const;

    // The primary button: "共有を作成" or "変更を保存", and whether it may be pressed. A copy
    // that could not be loaded blocks it, so that no second copy replaces the stored link, and
    // so does a copy of the record that any dialog is creating.
    QString primaryTitle() const;
    bool canSave() const;
    bool canDelete() const;

    // "追加": lists the typed address with the chosen role, at the end, once.
    void addMember();
    void removeMember(std::size_t index);

    void loadExistingShare();
    void save();
    void deleteShare();

    // The dialog is gone. The model stays while a request runs, then deletes itself.
    void release();

signals:
    void changed();

private:
    // Forgets the copy and loads again (another login).
    void reload();
    bool isCreating() const;
    // The other models of this record: told that a create began, or reloaded once it ended.
    void othersFollow(bool reloading);
    void setStatus(std::string text);
    void begin();
    void end();
    // Stores the link to the copy unless the library already holds it; the failure's text.
    std::optional<std::string> storeReference(const std::string& shareID);
    void finishCreate(ServiceOutcome<TavroAPI::CreatedShare> outcome);
    void finishUpdate(const std::string& id, bool isPublic,
                      ServiceOutcome<std::optional<std::string>> outcome);
    void finishDelete(const std::string& id, ServiceOutcome<std::monostate> outcome);

    LibraryStore& library_;
    UserDefaults& defaults_;
    std::string recordID_;
    MinutesResult result_;

    std::string email_;
    std::string role_ = kViewer;
    std::vector<Collaborator> collaborators_;
    bool isPublic_ = false;
    bool isSaving_ = false;
    std::optional<std::string> status_;
    std::optional<std::string> publicURL_;
    std::optional<std::string> shareID_;
    bool loaded_ = false;
    bool loadFailed_ = false;
    // The token the copy was last loaded with.
    std::string loadedToken_;
    // Loading waits for another dialog's create of this record.
    bool waiting_ = false;

    std::uint64_t loadGeneration_ = 0;
    int pending_ = 0;
    bool released_ = false;
};
