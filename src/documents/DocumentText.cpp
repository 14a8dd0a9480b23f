#include "documents/DocumentText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <zip.h>
#include <pugixml.hpp>

#include "documents/DocumentError.h"
#include "util/Text.h"

namespace documenttext {
namespace {

std::string quotedName(const std::filesystem::path& file) {
    return "「" + file.filename().string() + "」";
}

[[noreturn]] void unreadable(const std::filesystem::path& file) {
    throw DocumentError("ファイル" + quotedName(file) + "を開けませんでした");
}

[[noreturn]] void notWord(const std::string& fileName) {
    throw DocumentError("ファイル「" + fileName + "」をWord文書として読み込めませんでした");
}

[[noreturn]] void notAFile(const std::filesystem::path& file) {
    throw DocumentError("「" + file.filename().string() +
                        "」は通常のファイルではないため読み込めません");
}

// Reads the whole file, refusing one over the limit even when it grows after the size check.
std::string readBounded(const std::filesystem::path& file) {
    // Checked before opening: opening a named pipe for reading waits for a writer, and a
    // device may never end.
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) unreadable(file);
    if (!S_ISREG(st.st_mode)) notAFile(file);
    // Non-blocking, in case a pipe took the file's place since: it is refused below.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) unreadable(file);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) unreadable(file);
    if (!S_ISREG(st.st_mode)) notAFile(file);
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileBytes) throw DocumentError(kTooLarge);
    std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t filled = 0;
    while (filled < data.size()) {
        const ssize_t n = ::read(fd, data.data() + filled, data.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            unreadable(file);
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
        if (filled > kMaxFileBytes) throw DocumentError(kTooLarge);
        if (filled == data.size())
            data.resize(std::min<std::size_t>(data.size() * 2, kMaxFileBytes + 1));
    }
    data.resize(filled);
    return data;
}

// Appends up to the character limit, never splitting a code point. False once full.
bool appendCapped(std::string& out, std::string_view piece, std::size_t& characters,
                  std::size_t maxCharacters) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const auto byte = static_cast<unsigned char>(piece[i]);
        if ((byte & 0xC0) != 0x80) {
            if (characters == maxCharacters) return false;
            ++characters;
        }
        out.push_back(piece[i]);
    }
    return characters < maxCharacters;
}

std::string_view localName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The inflated start of word/document.xml, and whether it is all of it.
std::pair<std::string, bool> documentXml(const std::string& docx, const std::string& fileName) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(docx.data(), docx.size(), 0, &error);
    if (!source) notWord(fileName);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        notWord(fileName);
    }
    std::unique_ptr<zip_t, void (*)(zip_t*)> owner(archive, zip_discard);
    zip_file_t* entry = zip_fopen(archive, "word/document.xml", 0);
    if (!entry) notWord(fileName);
    std::string xml(kMaxWordXmlBytes + 1, '\0');
    std::size_t filled = 0;
    bool failed = false;
    while (filled < xml.size()) {
        const zip_int64_t n = zip_fread(entry, xml.data() + filled, xml.size() - filled);
        if (n < 0) failed = true;
        if (n <= 0) break;
        filled += static_cast<std::size_t>(n);
    }
    zip_fclose(entry);
    if (failed) notWord(fileName);
    const bool complete = filled <= kMaxWordXmlBytes;
    std::size_t end = std::min(filled, kMaxWordXmlBytes);
    // A cut inside a character would leave it half there: cut before it instead.
    if (!complete)
        while (end > 0 && (static_cast<unsigned char>(xml[end]) & 0xC0) == 0x80) --end;
    xml.resize(end);
    return {std::move(xml), complete};
}

std::string wordText(const std::string& docx, const std::filesystem::path& file) {
    auto [xml, complete] = documentXml(docx, file.filename().string());
    return wordXmlText(xml, complete, file.filename().string());
}

std::string pdfText(const std::string& data) {
    // poppler reports damaged files on stderr; the user is told through the message instead.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
    });
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw DocumentError(kNoPdfText);
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(data.data(), static_cast<int>(data.size())));
    if (!doc || doc->is_locked() || doc->pages() <= 0) throw DocumentError(kNoPdfText);
    std::string out;
    std::size_t characters = 0;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) continue;
        poppler::byte_array bytes = page->text().to_utf8();
        // poppler ends each page with a form feed; lines are all the service needs.
        std::erase(bytes, '\f');
        if (!out.empty() && out.back() != '\n' &&
            !appendCapped(out, "\n", characters, kMaxCharacters))
            break;
        if (!appendCapped(out, std::string_view(bytes.data(), bytes.size()), characters,
                          kMaxCharacters))
            break;
    }
    if (!text::isValidUtf8(out) || text::trim(out).empty()) throw DocumentError(kNoPdfText);
    return out;
}

std::string utf8Text(std::string data, const std::filesystem::path& file) {
    if (data.starts_with("\xEF\xBB\xBF")) data.erase(0, 3);
    if (!text::isValidUtf8(data))
        throw DocumentError("ファイル" + quotedName(file) + "はUTF-8のテキストではありません");
    return data;
}

}  // namespace

Format formatOf(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".docx") return Format::word;
    if (ext == ".pdf") return Format::pdf;
    return Format::text;
}

std::string extract(const std::filesystem::path& file) {
    std::string data = readBounded(file);
    switch (formatOf(file)) {
        case Format::word:
            return wordText(data, file);
        case Format::pdf:
            return pdfText(data);
        case Format::text:
            break;
    }
    return utf8Text(std::move(data), file);
}

std::string wordXmlText(std::string& xml, bool complete, const std::string& fileName,
                        std::size_t maxCharacters) {
    pugi::xml_document doc;
    // Parsed in place, pugixml takes the buffer's last byte for its terminator: give it one of
    // its own, so that no text is lost at a cut.
    xml.push_back('\0');
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    // A cut-short document ends in unclosed elements; what came before the cut is kept.
    if (!parsed && complete) notWord(fileName);

    std::string out;
    std::size_t characters = 0;
    bool room = true;
    // Walked without recursion: deeply nested XML must not exhaust the stack.
    pugi::xml_node node = doc.first_child();
    while (node && room) {
        if (node.type() == pugi::node_element) {
            const std::string_view name = localName(node);
            if (name == "t") {
                room = appendCapped(out, node.text().get(), characters, maxCharacters);
            } else if (name == "tab") {
                room = appendCapped(out, "\t", characters, maxCharacters);
            } else if (name == "br" || name == "cr") {
                room = appendCapped(out, "\n", characters, maxCharacters);
            }
            // Text was taken whole above; its children need no visit.
            if (name != "t" && node.first_child()) {
                node = node.first_child();
                continue;
            }
        }
        // Leave this node and every ancestor that has no next sibling, ending paragraphs.
        while (node && room) {
            const bool paragraph = node.type() == pugi::node_element && localName(node) == "p";
            if (paragraph) room = appendCapped(out, "\n", characters, maxCharacters);
            if (pugi::xml_node next = node.next_sibling()) {
                node = next;
                break;
            }
            node = node.parent();
            if (node == doc) node = pugi::xml_node();
        }
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    if (!text::isValidUtf8(out)) notWord(fileName);
    return out;
}

}  // namespace documenttext
