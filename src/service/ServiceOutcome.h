#pragma once
#include <utility>
#include <variant>

#include "service/APIError.h"

// What a service call handed to callService() ended with: its value or its error.
template <typename T>
class ServiceOutcome {
public:
    explicit ServiceOutcome(T value) : value_(std::move(value)) {}
    explicit ServiceOutcome(APIError error) : value_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    T& value() { return std::get<T>(value_); }
    const APIError& error() const { return std::get<APIError>(value_); }

private:
    std::variant<T, APIError> value_;
};
