// Text out of documents written here, read by the reading program: Word in a real zip, PDF,
// strict UTF-8, and documents made to swell without end.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "documents/DocumentError.h"
#include "documents/DocumentReader.h"
#include "documents/DocumentText.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"

namespace {

namespace fs = std::filesystem;
using documenttext::extract;

std::string wordXml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
           "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
           "<w:body>" +
           body + "</w:body></w:document>";
}

void writeDocx(const fs::path& file, const std::string& xml) {
    int err = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    zip_source_t* src = zip_source_buffer(z, xml.data(), xml.size(), 0);
    ASSERT_GE(zip_file_add(z, "word/document.xml", src, ZIP_FL_ENC_UTF_8), 0);
    ASSERT_EQ(zip_close(z), 0);
}

// A PDF of these objects, numbered from 1 (the catalog first), with a correct cross-reference
// table.
std::string pdfOf(const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::string xref = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        xref += entry;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t start = pdf.size();
    return pdf + xref + "trailer<</Size " + std::to_string(objects.size() + 1) +
           "/Root 1 0 R>>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
}

std::string stream(const std::string& data, const std::string& dict = "") {
    return "<<" + dict + "/Length " + std::to_string(data.size()) + ">>stream\n" + data +
           "\nendstream";
}

// `head`, then `count` copies of `chunk`, deflated without ever holding them all.
std::string deflated(const std::string& head, const std::string& chunk, std::size_t count) {
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    std::string out;
    char buf[65536];
    for (std::size_t i = 0; i <= count + 1; ++i) {
        const std::string& in = i == 0 ? head : chunk;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = i <= count ? static_cast<uInt>(in.size()) : 0;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            deflate(&z, i <= count ? Z_NO_FLUSH : Z_FINISH);
            out.append(buf, sizeof buf - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// A PDF of `pages` pages that all draw `content`, and `extra` objects from number 5 on.
std::string pagesPdf(const std::string& content, int pages = 1,
                     const std::vector<std::string>& extra = {}) {
    std::string kids;
    for (int i = 0; i < pages; ++i) kids += std::to_string(5 + extra.size() + i) + " 0 R ";
    std::vector<std::string> objects = {
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Kids[" + kids + "]/Count " + std::to_string(pages) + ">>",
        content,
        "<</Font<</F1<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>>>/XObject<</X 5 0 R>>>>",
    };
    objects.insert(objects.end(), extra.begin(), extra.end());
    for (int i = 0; i < pages; ++i)
        objects.push_back(
            "<</Type/Page/Parent 2 0 R/MediaBox[0 0 300 200]/Contents 3 0 R"
            "/Resources 4 0 R>>");
    return pdfOf(objects);
}

// A one-page PDF with two lines of Helvetica text.
std::string makePdf() {
    return pagesPdf(stream("BT /F1 18 Tf 20 150 Td (Weekly review) Tj 0 -30 Td (Decisions) Tj ET"));
}

std::string readText(const fs::path& file) {
    return DocumentReader(TAVRO_DOCUMENT_TEXT_PROGRAM).read(file);
}

std::string errorOf(const fs::path& file) {
    try {
        readText(file);
    } catch (const DocumentError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(DocumentText, EachFormatByItsExtension) {
    testsupport::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;  // empty: a Word file of `xml`
        std::string xml;
        std::string text;   // expected text, or
        std::string error;  // a part of the expected error
    };
    const Case cases[] = {
        {"minutes.md", "\xEF\xBB\xBF# 議事録\n- 決定", "", "# 議事録\n- 決定", ""},
        {"notes.txt", "議事\xFF録", "", "", "UTF-8のテキストではありません"},
        {"report.DOCX", "",
         wordXml(
             "<w:p><w:r><w:t>第1回</w:t><w:tab/><w:t>定例</w:t></w:r></w:p>"
             "<w:p><w:r><w:t>決定</w:t><w:t xml:space=\"preserve\"> </w:t>"
             "<w:t>A&amp;B</w:t><w:br/><w:delText>消した</w:delText><w:t>次回</w:t></w:r></w:p>"
             "<w:p/><w:tbl><w:tr><w:tc><w:p><w:r><w:t>表</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"),
         "第1回\t定例\n決定 A&B\n次回\n\n表", ""},
        {"broken.docx", "not a zip at all", "", "", "Word文書として読み込めませんでした"},
        {"weekly.pdf", makePdf(), "", "Weekly review\nDecisions\n", ""},
        {"scan.pdf", "%PDF-1.4 garbage", "", "", documenttext::kNoPdfText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / c.name;
        if (c.bytes.empty()) {
            writeDocx(file, c.xml);
        } else {
            ASSERT_EQ(atomicfile::write(file, c.bytes), "");
        }
        if (c.error.empty()) {
            EXPECT_EQ(readText(file), c.text);
        } else {
            EXPECT_NE(errorOf(file).find(c.error), std::string::npos) << errorOf(file);
        }
    }
    EXPECT_NE(errorOf(dir / "absent.txt").find("「absent.txt」を開けませんでした"),
              std::string::npos);
    // Opened, a pipe would wait for a writer and a device never end.
    ASSERT_EQ(mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
    for (const fs::path& special : {dir / "pipe.txt", fs::path("/dev/zero")})
        EXPECT_EQ(errorOf(special), "「" + special.filename().string() +
                                        "」は通常のファイルではないため読み込めません");
}

TEST(DocumentText, TheSizeLimitIsInclusive) {
    testsupport::TempDir dir;
    for (const auto size : {documenttext::kMaxFileBytes, documenttext::kMaxFileBytes + 1}) {
        const fs::path file = dir / "sparse.txt";
        atomicfile::write(file, "");
        fs::resize_file(file, size);  // sparse: no 20 MB written
        if (size == documenttext::kMaxFileBytes) {
            EXPECT_EQ(extract(file).size(), size);
        } else {
            EXPECT_EQ(errorOf(file), documenttext::kTooLarge);
        }
    }
}

TEST(DocumentText, ACompressedFloodIsReadOnlyToTheCap) {
    testsupport::TempDir dir;
    // 12 MB of XML in a small zip: inflated only to its cap, read only to the character cap.
    std::string body;
    const std::string paragraph = "<w:p><w:r><w:t>議事録です</w:t></w:r></w:p>";
    while (body.size() < 12 * 1024 * 1024) body += paragraph;
    const fs::path file = dir / "flood.docx";
    writeDocx(file, wordXml(body));
    ASSERT_LT(fs::file_size(file), 1024u * 1024u);
    const std::string text = extract(file);
    std::size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    EXPECT_EQ(characters, documenttext::kMaxCharacters);
    EXPECT_TRUE(text.starts_with("議事録です\n議事録です\n"));
}

TEST(DocumentText, AWordDocumentCutInsideACharacterKeepsTheTextBefore) {
    testsupport::TempDir dir;
    // A comment, which holds no text, puts the cut before each byte of "事".
    const std::string before = "<w:p><w:r><w:t>始め</w:t></w:r></w:p><!--";
    const std::string after = "--><w:p><w:r><w:t>議事録</w:t></w:r></w:p>";
    const std::size_t at = wordXml(before + after).find("事");
    for (std::size_t into : {0, 1, 2}) {
        SCOPED_TRACE(into);
        const std::string padding(documenttext::kMaxWordXmlBytes - at - into, ' ');
        writeDocx(dir / "long.docx", wordXml(before + padding + after));
        EXPECT_EQ(extract(dir / "long.docx"), "始め\n議");
    }
}

// PDF documents of a few kilobytes that swell into gigabytes or minutes of work when read.
std::vector<std::pair<std::string, std::string>> pdfBombs() {
    const std::string flate = "/Filter/FlateDecode";
    // 20 million letters drawn on one spot, each one a word of its own.
    const std::string piled = deflated("BT /F1 8 Tf 20 100 Td -4.448 Tc ",
                                       "(" + std::string(1000, 'a') + ") Tj 0 0 Td\n", 20000);
    const std::string lines = deflated("", "0 0 m 300 200 l S\n", 250000);
    std::vector<std::string> forms;  // each drawing the next twice
    const int depth = 20;
    for (int i = 0; i < depth; ++i) {
        const bool last = i == depth - 1;
        forms.push_back(
            stream(last ? "BT /F1 8 Tf (lorem ipsum dolor sit amet) Tj ET" : "/Y Do /Y Do",
                   "/Type/XObject/Subtype/Form/BBox[0 0 300 200]/Resources" +
                       (last ? " 4 0 R" : "<</XObject<</Y " + std::to_string(6 + i) + " 0 R>>>>")));
    }
    return {
        {"expanding.pdf", pagesPdf(stream(piled, flate))},
        {"shared.pdf", pagesPdf(stream(lines, flate), 1000)},
        {"forms.pdf", pagesPdf(stream("/X Do"), 1, forms)},
    };
}

long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
    return -1;
}

TEST(DocumentReader, ADocumentBombEndsSoonInAnError) {
    testsupport::TempDir dir;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : pdfBombs()) {
        ASSERT_EQ(atomicfile::write(dir / name, bytes), "");
        names.push_back(name);
    }
    const long peak = statusKb("VmHWM");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto start = std::chrono::steady_clock::now();
        const std::string error = errorOf(dir / name);
        EXPECT_NE(error.find("文書が大きすぎるか複雑すぎます"), std::string::npos) << error;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
    // Swollen elsewhere, and only so far.
    EXPECT_LT(statusKb("VmHWM") - peak, 64 * 1024);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 768 * 1024);
}

TEST(DocumentReader, CancellingEndsTheReadingProcess) {
    testsupport::TempDir dir;
    ASSERT_EQ(atomicfile::write(dir / "forms.pdf", pdfBombs().back().second), "");
    DocumentReader reader(TAVRO_DOCUMENT_TEXT_PROGRAM);
    std::string error;
    std::thread reading([&] {
        try {
            reader.read(dir / "forms.pdf");
        } catch (const DocumentError& e) {
            error = e.what();
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reader.processId() > 0; }, 10000));
    const fs::path process = "/proc/" + std::to_string(reader.processId());
    reader.cancel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fs::exists(process); }, 5000));
    reading.join();
    EXPECT_NE(error.find("読み込みを中止しました"), std::string::npos) << error;
}

}  // namespace
