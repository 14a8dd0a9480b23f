#pragma once
// Why a document's text could not be read, in the words shown to the user.
#include <stdexcept>
#include <string>

class DocumentError : public std::runtime_error {
public:
    explicit DocumentError(const std::string& message) : std::runtime_error(message) {}
};
