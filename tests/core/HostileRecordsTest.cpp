// Entry records whose sizes no writer makes: refused when the pack is read,
// or when the file is decoded, with a word and before anything of the
// recorded size is made.
#include <gtest/gtest.h>

#include "talk/Messages.h"
#include "schemes/Extraction.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

namespace tarvex {
namespace {

using test::LaidOutFile;
using test::PackDoc;
using test::PackLayout;
using test::TempDir;
using namespace std::string_literals;

// A size of all ones is the catalogue's mark for "no stored copy".
TEST(HostileRecords, SizesAtTheNotStoredMarkAreRefusedOnReading)
{
    const std::vector<uint8_t> fileSizeMarked = PackLayout{{}, {}, {{"x", 0, "abc", 0, 0xFFFFFFFF}}}.Bytes();
    std::vector<uint8_t> storedSizeMarked = PackLayout{{}, {}, {{"x", 0, "abc", 0}}}.Bytes();
    // The last record ends with stored size (4 bytes), folder ID (2), scheme (1).
    std::fill(storedSizeMarked.end() - 7, storedSizeMarked.end() - 3, 0xFF);
    for (const auto& bytes : {fileSizeMarked, storedSizeMarked}) {
        TempDir dir;
        PackDoc doc;
        EXPECT_FALSE(doc.Open(dir.Write("m.epk", bytes)));
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kDamaged});
    }
}

// The bounds are checked before the stored bytes are read or a buffer of the
// file size is made; what passes them is then decoded as usual.
TEST(HostileRecords, SizesTheSchemeCannotGiveAreRefusedWhenDecoded)
{
    const struct {
        const char* what;
        LaidOutFile file;
        std::optional<std::string> decoded;  // none: refused
    } cases[] = {
        {"as it is, sizes equal", {"x", 0, "abc", 0}, "abc"},
        {"as it is, stored shorter than the file", {"x", 0, "abc", 0, 5}, std::nullopt},
        {"as it is, stored longer than the file", {"x", 0, "abcde", 0, 3}, std::nullopt},
        {"RLE, 130 bytes from one repeat packet", {"x", 0, "\x82\0\0\0\xFF\x41"s, 1, 130}, std::string(130, 'A')},
        {"RLE, 131 bytes from 6 stored", {"x", 0, "\x83\0\0\0\xFF\x41"s, 1, 131}, std::nullopt},
        {"RLE, shorter than its length header", {"x", 0, "\0\0\0"s, 1, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        PackDoc doc;
        ASSERT_TRUE(doc.Open(dir.Write("h.epk", PackLayout{{}, {}, {c.file}}.Bytes())));
        PackExtractor extractor(doc.archive, doc.prompt);
        ASSERT_TRUE(extractor.Open());
        EXPECT_EQ(extractor.CanDecode(0), c.decoded.has_value());
        const bool extracted = ExtractDecoded(doc.archive, 0, dir.MakeDir("out"), "", doc.prompt);
        if (c.decoded) {
            EXPECT_TRUE(extracted);
            EXPECT_EQ(test::ReadFileBytes(dir / "out/x"), std::vector<uint8_t>(c.decoded->begin(), c.decoded->end()));
            EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{});
            continue;
        }
        EXPECT_FALSE(extracted);
        EXPECT_EQ(dir.List("out"), std::vector<std::string>{});
        EXPECT_EQ(doc.Contents().at("x"), (std::vector<uint8_t>{'<', 'F', 'A', 'I', 'L', '>'}));
        const std::string refusal = Printf(msg::kDecodeFailedBuiltin, c.file.scheme == 0 ? "不编码" : "RLE", "x");
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>(3, refusal));
    }
}

}  // namespace
}  // namespace tarvex
