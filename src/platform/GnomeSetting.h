#pragma once
// One key of an installed GSettings schema: read, and followed through a callback when one is
// given. GSettings aborts the process on a schema or key that is not installed, or on a value
// read as another type, so all three are checked first.
#include <functional>
#include <optional>
#include <string>

typedef struct _GSettings GSettings;

class GnomeSetting {
public:
    // `type`: the key's value type as GVariant writes it ("b", "s"). `changed` is called on each
    // change of the key.
    GnomeSetting(const char* schema, const char* key, const char* type,
                 std::function<void()> changed = {});
    ~GnomeSetting();
    GnomeSetting(const GnomeSetting&) = delete;
    GnomeSetting& operator=(const GnomeSetting&) = delete;

    // The value; nothing where the key is not installed with the type asked for.
    std::optional<bool> boolean() const;
    std::optional<std::string> text() const;
    // Whether the value is one someone set, not the schema's default: a schema installed on a
    // desktop that never writes the key still answers with its default.
    bool userSet() const;

private:
    static void onChanged(GSettings*, const char*, void* self);

    std::string key_;
    std::function<void()> changed_;
    GSettings* settings_ = nullptr;
    unsigned long handler_ = 0;
};
