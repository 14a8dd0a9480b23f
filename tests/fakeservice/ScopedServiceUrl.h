#pragma once
#include <optional>
#include <string>

// Points the service client at `url` (through TAVRO_SERVICE_URL) for the object's lifetime and
// restores the previous setting afterwards.
class ScopedServiceUrl {
public:
    explicit ScopedServiceUrl(const std::string& url);
    ~ScopedServiceUrl();
    ScopedServiceUrl(const ScopedServiceUrl&) = delete;
    ScopedServiceUrl& operator=(const ScopedServiceUrl&) = delete;

private:
    std::optional<std::string> previous_;
};
