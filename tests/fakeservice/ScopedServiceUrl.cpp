#include "fakeservice/ScopedServiceUrl.h"

#include <cstdlib>

namespace {
constexpr const char* kVariable = "TAVRO_SERVICE_URL";
}

ScopedServiceUrl::ScopedServiceUrl(const std::string& url) {
    if (const char* old = std::getenv(kVariable)) previous_ = old;
    setenv(kVariable, url.c_str(), 1);
}

ScopedServiceUrl::~ScopedServiceUrl() {
    if (previous_)
        setenv(kVariable, previous_->c_str(), 1);
    else
        unsetenv(kVariable);
}
