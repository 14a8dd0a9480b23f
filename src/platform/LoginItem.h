#pragma once
// Starting the app at login: the XDG autostart entry $XDG_CONFIG_HOME/autostart/tavro.desktop,
// whose Exec line is the one the installed desktop entry carries.
#include <filesystem>
#include <string>

class LoginItem {
public:
    // An entry at `file` that starts `program`.
    LoginItem(std::filesystem::path file, std::filesystem::path program);
    // The user's autostart entry for the running program.
    static LoginItem standard();
    static std::filesystem::path standardFile();

    // Whether the entry exists and is not marked hidden (the desktops' way of switching an
    // entry off).
    bool enabled() const;
    // Writes the entry atomically, or removes it. Empty on success, else why it failed.
    std::string setEnabled(bool on);

    // The Exec value that starts `program` with the addresses after "--": the path quoted,
    // \ " ` $ escaped inside the quotes, then every backslash doubled and % written %%.
    static std::string execValue(const std::filesystem::path& program);
    std::string entryText() const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    std::filesystem::path program_;
};
