#include "platform/LoginItem.h"

#include <QCoreApplication>

#include <cstdlib>
#include <system_error>

#include "util/AtomicFile.h"

LoginItem::LoginItem(std::filesystem::path file, std::filesystem::path program)
    : file_(std::move(file)), program_(std::move(program)) {}

std::filesystem::path LoginItem::standardFile() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = std::filesystem::path(home ? home : "") / ".config";
    }
    return config / "autostart" / "tavro.desktop";
}

LoginItem LoginItem::standard() {
    return LoginItem(standardFile(), QCoreApplication::applicationFilePath().toStdString());
}

bool LoginItem::enabled() const {
    const auto text = atomicfile::read(file_);
    if (!text) return false;
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string_view line(text->data() + start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line == "Hidden=true") return false;
        start = end + 1;
    }
    return true;
}

std::string LoginItem::setEnabled(bool on) {
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(file_, ec);
        return ec ? file_.string() + ": " + ec.message() : std::string();
    }
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (ec) return file_.parent_path().string() + ": " + ec.message();
    return atomicfile::write(file_, entryText(), 0644);
}

std::string LoginItem::execValue(const std::filesystem::path& program) {
    std::string quoted;
    for (char c : program.string()) {
        if (c == '\\' || c == '"' || c == '`' || c == '$') quoted += '\\';
        quoted += c;
    }
    std::string value = "\"";
    for (char c : quoted) {
        if (c == '\\') value += '\\';
        if (c == '%') value += '%';
        value += c;
    }
    return value + "\" -- %u";
}

std::string LoginItem::entryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=TAVRO\n"
           "Comment=会議を録音して議事録にします\n"
           "Exec=" +
           execValue(program_) +
           "\n"
           "Icon=audio-input-microphone\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}
