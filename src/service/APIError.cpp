#include "service/APIError.h"

#include <utility>

APIError::APIError(std::string message, Source source, long status)
    : std::runtime_error(message), message_(std::move(message)), source_(source), status_(status) {}

APIError APIError::local(std::string message) {
    return APIError(std::move(message), Source::local, 0);
}

APIError APIError::network(std::string message) {
    return APIError(std::move(message), Source::network, 0);
}

APIError APIError::service(std::string message, long httpStatus) {
    return APIError(std::move(message), Source::service, httpStatus);
}

std::optional<long> APIError::httpStatus() const {
    if (source_ != Source::service) return std::nullopt;
    return status_;
}
