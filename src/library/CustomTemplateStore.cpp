#include "library/CustomTemplateStore.h"

#include "model/Templates.h"
#include "util/UserDefaults.h"

namespace {

constexpr const char* kKey = "customTemplates";
constexpr const char* kUnreadableKey = "customTemplates.unreadable";

std::optional<std::vector<CustomTemplate>> decode(const DefaultsValue& stored) {
    const auto* data = stored.get<DefaultsData>();
    if (!data) return std::nullopt;
    try {
        const auto array = json::parse(data->bytes);
        std::vector<CustomTemplate> out;
        for (const auto& e : json::asArray(array, kKey)) out.push_back(CustomTemplate::fromJson(e));
        return out;
    } catch (const json::Error&) {
        return std::nullopt;
    }
}

}  // namespace

namespace CustomTemplateStore {

std::vector<CustomTemplate> load(UserDefaults& defaults) {
    const auto stored = defaults.value(kKey);
    if (!stored) return {};
    return decode(*stored).value_or(std::vector<CustomTemplate>{});
}

std::vector<CustomTemplate> load() {
    return load(UserDefaults::standard());
}

bool save(const std::vector<CustomTemplate>& templates, UserDefaults& defaults) {
    json::Value array = json::Value::array();
    for (std::size_t i = 0; i < templates.size() && i < kMaxTemplates; ++i)
        array.push_back(templates[i].toJson());
    std::string bytes;
    try {
        bytes = json::dumpCompact(array);
    } catch (const json::Error&) {
        return false;
    }
    // A list that no longer decodes reads as empty, so the settings window would save over it
    // with only the newly imported template; keep the old bytes where they can be recovered.
    if (const auto old = defaults.value(kKey); old && !decode(*old))
        defaults.set(kUnreadableKey, *old);
    return defaults.set(kKey, DefaultsData{std::move(bytes)});
}

bool save(const std::vector<CustomTemplate>& templates) {
    return save(templates, UserDefaults::standard());
}

std::optional<CustomTemplate> find(const std::string& id, UserDefaults& defaults) {
    for (auto& t : load(defaults))
        if (t.id == id) return std::move(t);
    return std::nullopt;
}

std::optional<CustomTemplate> find(const std::string& id) {
    return find(id, UserDefaults::standard());
}

}  // namespace CustomTemplateStore

std::string templateLabel(const std::string& id, UserDefaults& defaults) {
    if (auto custom = CustomTemplateStore::find(id, defaults)) return custom->label;
    if (const auto* builtIn = builtInTemplateLabel(id)) return *builtIn;
    return "議事録";
}

std::string templateLabel(const std::string& id) {
    return templateLabel(id, UserDefaults::standard());
}
