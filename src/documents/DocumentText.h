#pragma once
// The plain text of a document the user picked: Word (.docx) through its word/document.xml,
// PDF through poppler, anything else as strict UTF-8. Slow and blocking: call it off the main
// thread. Every failure is a DocumentError with a message for the user.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace documenttext {

// Larger files are refused before anything is read.
constexpr std::uintmax_t kMaxFileBytes = 20971520;
// The service reads no more than this many characters, so a Word or PDF document is read no
// further: a small compressed file cannot swell into gigabytes of text.
constexpr std::size_t kMaxCharacters = 100000;
// How much of word/document.xml is inflated at most; ample for kMaxCharacters of text.
constexpr std::size_t kMaxWordXmlBytes = 8 * 1024 * 1024;

inline constexpr const char* kTooLarge = "ファイルが大きすぎます(20MBまで)";
inline constexpr const char* kNoPdfText = "PDFからテキストを取得できませんでした";

enum class Format { word, pdf, text };

// By the extension, in any case: ".docx", ".pdf", else text.
Format formatOf(const std::filesystem::path& file);

// Throws DocumentError.
std::string extract(const std::filesystem::path& file);

// The text of a word/document.xml: paragraphs end in a line break, breaks are line breaks and
// tabs are tabs; at most `maxCharacters` characters. `complete` is false when the XML was cut
// short on purpose, and then what parsed before the cut is kept. Throws DocumentError.
std::string wordXmlText(std::string& xml, bool complete, const std::string& fileName,
                        std::size_t maxCharacters = kMaxCharacters);

}  // namespace documenttext
