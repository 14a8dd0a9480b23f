// Text out of documents written here: Word in a real zip, PDF, strict UTF-8.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>
#include <QTest>

#include <filesystem>
#include <string>
#include <thread>

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

std::string stream(const std::string& data, const std::string& dict = "") {
    return "<<" + dict + "/Length " + std::to_string(data.size()) + ">>stream\n" + data +
           "\nendstream";
}

// `count` times `chunk`, as a compressed stream.
std::string deflated(const std::string& chunk, int count) {
    std::string data, out(compressBound(chunk.size() * count), '\0');
    while (count-- > 0) data += chunk;
    uLongf size = out.size();
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), data.size(), Z_BEST_COMPRESSION);
    return stream(out.substr(0, size), "/Filter/FlateDecode");
}

// A PDF without the cross-reference table, which readers rebuild: `pages` pages that draw
// object 3 with the font of object 4 and form 5, then `objects` from number 5 on.
std::string makePdf(const std::string& content, int pages, std::vector<std::string> objects) {
    std::string kids, pdf = "%PDF-1.4\n";
    for (int i = 0; i < pages; ++i) kids += std::to_string(5 + objects.size() + i) + " 0 R ";
    const std::string head[] = {
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Count " + std::to_string(pages) + "/Kids[" + kids + "]>>", content,
        "<</Subtype/Type1/BaseFont/Helvetica>>"};
    objects.insert(objects.begin(), std::begin(head), std::end(head));
    objects.resize(objects.size() + pages,
                   "<</Type/Page/Parent 2 0 R/MediaBox[0 0 300 200]"
                   "/Contents 3 0 R/Resources<</Font<</F1 4 0 R>>/XObject<</X 5 0 R>>>>>>");
    for (std::size_t i = 0; i < objects.size(); ++i)
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    return pdf + "trailer<</Root 1 0 R>>\n%%EOF\n";
}

std::string errorOf(const fs::path& file) {
    try {
        DocumentReader(TAVRO_DOCUMENT_TEXT_PROGRAM).read(file);
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
        {"weekly.pdf",
         makePdf(stream("BT /F1 18 Tf 20 150 Td (Weekly review) Tj 0 -30 Td (Decisions) Tj ET"), 1,
                 {}),
         "", "Weekly review\nDecisions\n", ""},
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
            EXPECT_EQ(DocumentReader(TAVRO_DOCUMENT_TEXT_PROGRAM).read(file), c.text);
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
    const fs::path file = dir / "sparse.txt";
    atomicfile::write(file, "");
    fs::resize_file(file, documenttext::kMaxFileBytes);  // sparse: no 20 MB written
    EXPECT_EQ(extract(file).size(), documenttext::kMaxFileBytes);
    fs::resize_file(file, documenttext::kMaxFileBytes + 1);
    EXPECT_EQ(errorOf(file), documenttext::kTooLarge);
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
    const std::string tail = "--><w:p><w:r><w:t>議事録</w:t></w:r></w:p>";
    const std::size_t at = wordXml("<!--" + tail).find("事");
    for (std::size_t into : {0, 1, 2}) {
        const std::string padding(documenttext::kMaxWordXmlBytes - at - into, ' ');
        writeDocx(dir / "long.docx", wordXml("<!--" + padding + tail));
        EXPECT_EQ(extract(dir / "long.docx"), "議") << into;
    }
}

TEST(DocumentReader, ADocumentBombEndsSoonInAnErrorOrWhenCancelled) {
    testsupport::TempDir dir;
    const std::string text =
        "BT /F1 8 Tf 20 100 Td -4.448 Tc (" + std::string(1000, 'a') + ") Tj ET";
    std::vector<std::string> forms;  // each drawing the next twice, 20 deep
    for (int i = 6; i < 26; ++i)
        forms.push_back(stream(i < 25 ? "/Y Do /Y Do" : text,
                               "/Subtype/Form/BBox[0 0 300 200]/Resources<</XObject<</Y " +
                                   std::to_string(i) + " 0 R>>/Font<</F1 4 0 R>>>>"));
    const std::pair<const char*, std::string> bombs[] = {
        {"piled.pdf", makePdf(deflated(text + "\n", 20000), 1, {})},  // 20 million letters
        {"shared.pdf", makePdf(deflated("0 0 m 300 200 l S\n", 250000), 1000, {})},
        {"forms.pdf", makePdf(stream("/X Do"), 1, forms)},
    };
    rusage before{}, after{}, children{};
    getrusage(RUSAGE_SELF, &before);
    for (const auto& [name, bytes] : bombs) {
        ASSERT_EQ(atomicfile::write(dir / name, bytes), "");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NE(errorOf(dir / name).find("文書が大きすぎるか複雑すぎます"), std::string::npos)
            << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << name;
    }
    getrusage(RUSAGE_SELF, &after);
    getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // swollen elsewhere,
    EXPECT_LT(children.ru_maxrss, 768 * 1024);                 // and only so far

    DocumentReader reader(TAVRO_DOCUMENT_TEXT_PROGRAM);
    std::thread reading([&] { EXPECT_THROW(reader.read(dir / "forms.pdf"), DocumentError); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reader.processId() > 0; }, 10000));
    const fs::path process = "/proc/" + std::to_string(reader.processId());
    reader.cancel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fs::exists(process); }, 5000));
    reading.join();
}

}  // namespace
