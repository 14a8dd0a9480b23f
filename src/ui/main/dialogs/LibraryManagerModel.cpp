#include "ui/main/dialogs/LibraryManagerModel.h"

#include <QString>

#include <algorithm>
#include <exception>

#include "library/LibraryStore.h"

LibraryManagerModel::LibraryManagerModel(LibraryStore& library, QObject* parent)
    : QObject(parent), library_(library) {
    connect(&library_, &LibraryStore::stateChanged, this, &LibraryManagerModel::listsChanged);
}

bool LibraryManagerModel::hasName(std::string_view typed) {
    const QString text = QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size()));
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c != u'\t' && c.category() != QChar::Separator_Space;
    });
}

void LibraryManagerModel::setNewFolderName(std::string name) {
    if (name == newFolderName_) return;
    newFolderName_ = std::move(name);
    emit changed();
}

void LibraryManagerModel::setNewTagName(std::string name) {
    if (name == newTagName_) return;
    newTagName_ = std::move(name);
    emit changed();
}

template <typename Change>
bool LibraryManagerModel::attempt(Change change) {
    try {
        change();
    } catch (const std::exception& e) {
        errorMessage_ = e.what();
        emit changed();
        return false;
    }
    errorMessage_.reset();
    emit changed();
    return true;
}

void LibraryManagerModel::addFolder() {
    if (!canAddFolder()) return;
    if (attempt([&] { library_.createFolder(newFolderName_); })) setNewFolderName({});
}

void LibraryManagerModel::addTag() {
    if (!canAddTag()) return;
    if (attempt([&] { library_.createTag(newTagName_, std::nullopt); })) setNewTagName({});
}

bool LibraryManagerModel::renameFolder(const std::string& id, const std::string& name) {
    return attempt([&] { library_.renameFolder(id, name); });
}

bool LibraryManagerModel::deleteFolder(const std::string& id) {
    return attempt([&] { library_.deleteFolder(id); });
}

bool LibraryManagerModel::updateTag(const std::string& id, const std::string& name) {
    return attempt([&] {
        // The colour as stored now, so that a colour set elsewhere meanwhile is kept.
        const auto& tags = library_.state().tags;
        const auto tag =
            std::find_if(tags.begin(), tags.end(), [&](const auto& t) { return t.id == id; });
        library_.updateTag(id, name, tag == tags.end() ? std::nullopt : tag->color);
    });
}

bool LibraryManagerModel::deleteTag(const std::string& id) {
    return attempt([&] { library_.deleteTag(id); });
}
