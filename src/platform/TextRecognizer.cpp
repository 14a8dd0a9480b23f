#include "platform/TextRecognizer.h"

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <cstdint>
#include <numeric>
#include <string_view>

namespace {

// Lines below this mean confidence (0-100) are noise: icons and video read as stray
// letters. Names on meeting tiles read at 80 and more.
constexpr float kMinLineConfidence = 60.0f;

// Tesseract's Japanese model splits CJK runs into several "words". A gap narrower than about
// one full-width character is no space in the original text; measured gaps inside names run to
// half the line height, a typed ideographic space to a whole one.
constexpr double kCjkSpaceGap = 0.8;

char32_t decodeAt(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return cp;
}

char32_t firstCodePoint(std::string_view s) {
    return s.empty() ? 0 : decodeAt(s, 0);
}

char32_t lastCodePoint(std::string_view s) {
    if (s.empty()) return 0;
    std::size_t i = s.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    return decodeAt(s, i);
}

// Scripts written without spaces between words: kana, Han, CJK punctuation, full-width forms.
bool isCjk(char32_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3134F);
}

}  // namespace

std::unique_ptr<TextRecognizer> TextRecognizer::create(const std::string& languages) {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) return nullptr;
    // Meeting windows hold scattered labels, not paragraphs: sparse mode keeps each tile's
    // name on its own line instead of joining a row of tiles into one.
    api->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
    return std::unique_ptr<TextRecognizer>(new TextRecognizer(std::move(api)));
}

TextRecognizer::TextRecognizer(std::unique_ptr<tesseract::TessBaseAPI> api)
    : api_(std::move(api)) {}

TextRecognizer::~TextRecognizer() {
    api_->End();
}

std::optional<std::vector<std::string>> TextRecognizer::recognizeLines(const GrayImage& image) {
    if (image.empty() || image.pixels.size() < std::size_t(image.width) * std::size_t(image.height))
        return std::nullopt;

    // Meeting clients draw light text on dark tiles. The models are trained on dark text, and
    // reading the inverted image was both faster and more accurate than letting Tesseract retry
    // each line inverted.
    const std::uint64_t sum =
        std::accumulate(image.pixels.begin(), image.pixels.end(), std::uint64_t{0});
    const bool dark = sum < std::uint64_t(128) * image.pixels.size();
    std::vector<std::uint8_t> inverted;
    const std::uint8_t* data = image.pixels.data();
    if (dark) {
        inverted.resize(image.pixels.size());
        for (std::size_t i = 0; i < inverted.size(); ++i)
            inverted[i] = std::uint8_t(255 - image.pixels[i]);
        data = inverted.data();
    }

    // Tesseract parallelises its network with OpenMP, whose spinning threads cost far more than
    // they save on a busy machine (measured: 1.8 s and 3.8 CPU s per pass instead of 0.14 s).
    // Without nesting levels every parallel region on this thread runs on this thread alone;
    // the setting belongs to the calling thread, so the rest of the process is untouched.
    omp_set_max_active_levels(0);
    api_->SetImage(data, image.width, image.height, 1, image.width);
    // Screen pixels; without a resolution Tesseract guesses 70 dpi and warns.
    api_->SetSourceResolution(96);
    if (api_->Recognize(nullptr) != 0) {
        api_->Clear();
        return std::nullopt;
    }

    std::vector<std::string> lines;
    std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
    if (it && !it->Empty(tesseract::RIL_WORD)) {
        std::string line;
        bool keep = false;
        int lineHeight = 0;
        int prevRight = 0;
        auto flush = [&] {
            if (keep && !line.empty()) lines.push_back(line);
            line.clear();
        };
        do {
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                flush();
                int l, t, r, b;
                it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b);
                lineHeight = b - t;
                keep = it->Confidence(tesseract::RIL_TEXTLINE) >= kMinLineConfidence;
            }
            std::unique_ptr<char[]> word(it->GetUTF8Text(tesseract::RIL_WORD));
            if (!word || !*word.get()) continue;
            const std::string_view w(word.get());
            int l, t, r, b;
            it->BoundingBox(tesseract::RIL_WORD, &l, &t, &r, &b);
            if (!line.empty()) {
                const bool joined = isCjk(lastCodePoint(line)) && isCjk(firstCodePoint(w)) &&
                                    l - prevRight < kCjkSpaceGap * lineHeight;
                if (!joined) line += ' ';
            }
            line += w;
            prevRight = r;
        } while (it->Next(tesseract::RIL_WORD));
        flush();
    }
    api_->Clear();
    return lines;
}
