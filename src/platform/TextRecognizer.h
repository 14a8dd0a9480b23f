#pragma once
// Printed-text recognition over Tesseract 5 with its LSTM models. One instance owns one
// Tesseract engine and must stay on the thread that uses it: engines are not shared between
// threads.
#include "platform/GrayImage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

class TextRecognizer {
public:
    // `languages`: model names joined by "+". The script model "Japanese" reads Japanese and
    // Latin text together. nullptr when a model cannot be loaded.
    static std::unique_ptr<TextRecognizer> create(const std::string& languages = "Japanese");

    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // The text lines found in the image, in reading order, each as UTF-8 without its line
    // break. nullopt when recognition failed.
    std::optional<std::vector<std::string>> recognizeLines(const GrayImage& image);

private:
    explicit TextRecognizer(std::unique_ptr<tesseract::TessBaseAPI> api);
    std::unique_ptr<tesseract::TessBaseAPI> api_;
};
