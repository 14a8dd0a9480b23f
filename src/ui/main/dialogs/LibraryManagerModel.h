#pragma once
// The folder and tag manager's state and work: the two new-name fields, and creating,
// renaming and deleting folders and tags in the library, which saves at once. A change the
// library refuses is reported in the one error line.
#include <QObject>

#include <optional>
#include <string>
#include <string_view>

class LibraryStore;

class LibraryManagerModel : public QObject {
    Q_OBJECT
public:
    explicit LibraryManagerModel(LibraryStore& library, QObject* parent = nullptr);

    // Whether a field holds more than spaces and tabs (line breaks count as text here; the
    // library refuses them).
    static bool hasName(std::string_view typed);

    LibraryStore& library() const { return library_; }
    const std::string& newFolderName() const { return newFolderName_; }
    void setNewFolderName(std::string name);
    const std::string& newTagName() const { return newTagName_; }
    void setNewTagName(std::string name);
    bool canAddFolder() const { return hasName(newFolderName_); }
    bool canAddTag() const { return hasName(newTagName_); }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }

    void addFolder();
    void addTag();
    // Each returns whether the library took the change.
    bool renameFolder(const std::string& id, const std::string& name);
    bool deleteFolder(const std::string& id);
    // Keeps the tag's stored colour.
    bool updateTag(const std::string& id, const std::string& name);
    bool deleteTag(const std::string& id);

signals:
    // The fields or the error line changed.
    void changed();
    // The library's folders or tags changed.
    void listsChanged();

private:
    // Runs a library change; a refusal goes to the error line, a success clears it.
    template <typename Change>
    bool attempt(Change change);

    LibraryStore& library_;
    std::string newFolderName_;
    std::string newTagName_;
    std::optional<std::string> errorMessage_;
};
