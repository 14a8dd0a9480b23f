#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model/CustomTemplate.h"

class UserDefaults;

// The user's templates, kept in the settings store under "customTemplates" as the bytes of a
// compact JSON array. No cache: every call reads the store.
namespace CustomTemplateStore {

constexpr std::size_t kMaxTemplates = 20;

// The stored list; empty when nothing is stored or the stored bytes do not decode.
std::vector<CustomTemplate> load(UserDefaults& defaults);
std::vector<CustomTemplate> load();

// Stores at most the first 20. Bytes already stored that do not decode are kept under
// "customTemplates.unreadable" first, so an import never silently erases them.
// Returns false when nothing could be stored.
bool save(const std::vector<CustomTemplate>& templates, UserDefaults& defaults);
bool save(const std::vector<CustomTemplate>& templates);

std::optional<CustomTemplate> find(const std::string& id, UserDefaults& defaults);
std::optional<CustomTemplate> find(const std::string& id);

}  // namespace CustomTemplateStore

// The display label of a template id: a user template's, then a built-in's, else "議事録".
std::string templateLabel(const std::string& id, UserDefaults& defaults);
std::string templateLabel(const std::string& id);
