// Texts: encodings at the edges, pack paths, and the file list's numbers.
#include <gtest/gtest.h>

#include "base/FileText.h"
#include "base/GbkText.h"
#include "pack/PackArchive.h"
#include "schemes/SchemeId.h"
#include "schemes/SizeText.h"

namespace tarvex {
namespace {

TEST(GbkText, ConvertsBothWaysAndRefusesWhatGbkCannotHold)
{
    EXPECT_EQ(Utf8ToGbk("中文"), std::string("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), std::string("中文"));
    EXPECT_EQ(Utf8ToGbk("plain"), std::string("plain"));
    EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80"), std::nullopt);   // an emoji
    EXPECT_EQ(Utf8ToGbk("\xFF\xFE"), std::nullopt);           // not UTF-8
    EXPECT_EQ(GbkToUtf8("\x81"), std::nullopt);               // a lead byte alone
    EXPECT_EQ(GbkToUtf8Lossy("a\x81"), "a\\x81");
    EXPECT_EQ(Utf8ToGbkLossy("x\xF0\x9F\x98\x80y"), "x?y");
}

TEST(GbkText, SplitsPathsWithoutBreakingCharacters)
{
    // 0x5C is '\' and also a GBK trail byte (0x955C).
    const std::string name = "\x95\x5C";
    EXPECT_EQ(SplitGbkPath("a\\" + name + "/b\\\\c"), (std::vector<std::string>{"a", name, "b", "c"}));
    EXPECT_EQ(SplitGbkPath(""), std::vector<std::string>{});
}

TEST(FileText, EncodingsByMarkOrValidityAndCharactersCutAtTheEndOfAFirstPart)
{
    struct Case {
        std::string bytes;
        bool cut;
        std::optional<TextEncoding> encoding;  // none: no text
        std::string utf8;
    };
    const Case cases[] = {
        {"a\r\n说明\n", false, TextEncoding::Utf8, "a\r\n说明\n"},
        {"", false, TextEncoding::Utf8, ""},
        {"\xEF\xBB\xBF说明", false, TextEncoding::Utf8Bom, "说明"},
        {std::string("\xFF\xFE\x2D\x4E" "a\0\x3D\xD8\x00\xDE\x00\xD8", 12), false, TextEncoding::Utf16Le,
         "中a\xF0\x9F\x98\x80\xEF\xBF\xBD"},
        {std::string("\xFE\xFF\x4E\x2D\0a\x4E", 7), true, TextEncoding::Utf16Be, "中a"},
        {"\xD6\xD0\xCE\xC4\r\n", false, TextEncoding::Gbk, "中文\r\n"},
        // The first part of a file ends inside a character.
        {"ab\xE4\xB8", true, TextEncoding::Utf8, "ab"},
        {"ab\xE4\xB8", false, TextEncoding::Gbk, "ab涓"},
        {"\xD6\xD0\xCE", true, TextEncoding::Gbk, "中"},
        {"\xD6\xD0\xCE", false, std::nullopt, ""},
        // Not text: a NUL, many control characters, neither UTF-8 nor GBK.
        {std::string("text\0", 5), false, std::nullopt, ""},
        {"\x01\x02" + std::string(100, 'a'), false, std::nullopt, ""},
        {"\x01" + std::string(100, 'a'), false, TextEncoding::Utf8, "\x01" + std::string(100, 'a')},
        {"\xFF\xFF", false, std::nullopt, ""},
        // An overlong form and a surrogate are not UTF-8 (but GBK, 0x80 its euro sign).
        {"\xE0\x80\x80", false, TextEncoding::Gbk, "\xE9\x84\x9D\xE2\x82\xAC"},
        {"\xED\xA0\x80", false, TextEncoding::Gbk, "\xE9\xA0\x8E\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
        const std::optional<FileText> text = ReadFileText({data, c.bytes.size()}, c.cut);
        ASSERT_EQ(text.has_value(), c.encoding.has_value()) << c.bytes;
        if (!text) continue;
        EXPECT_EQ(text->encoding, *c.encoding) << c.bytes;
        EXPECT_EQ(text->utf8, c.utf8) << c.bytes;
    }
}

TEST(PackTitle, IsTheFileNameBeforeItsLastDot)
{
    EXPECT_EQ(GetPackTitle("/games/game.data.epk"), "game.data");
    EXPECT_EQ(GetPackTitle("noext"), "noext");
    EXPECT_EQ(GetPackTitle("dir.d/file"), "file");
}

TEST(SizeText, ShowsBytesKilobytesAndMegabytes)
{
    EXPECT_EQ(FormatSizeText(0), "0");
    EXPECT_EQ(FormatSizeText(1024), "1024");
    EXPECT_EQ(FormatSizeText(1025), "1.0K");
    EXPECT_EQ(FormatSizeText(1048576), "1024.0K");
    EXPECT_EQ(FormatSizeText(1048577), "1.0M");
    EXPECT_EQ(FormatSizeText(0xFFFFFFFF), "未知");
}

TEST(SizeText, RatioIsTruncatedAndSafeForEmptyFiles)
{
    EXPECT_EQ(FormatRatioText(3, 1), "33%");
    EXPECT_EQ(FormatRatioText(100, 29), "28%");
    EXPECT_EQ(FormatRatioText(0, 0), "0%");
    EXPECT_EQ(FormatRatioText(0, 5), "0%");
    EXPECT_EQ(FormatRatioText(1, 0xFFFFFFFE), "429496729400%");
    EXPECT_EQ(FormatRatioText(5, 0xFFFFFFFF), "未知");
}

TEST(SchemeNames, BuiltInPluginAndUnknown)
{
    const std::vector<PluginSlot> plugins = {{"\xD1\xB9\xCB\xF5", "z.edl", 1}};  // 压缩
    EXPECT_EQ(SchemeName(0, plugins), "不编码");
    EXPECT_EQ(SchemeName(1, plugins), "RLE");
    EXPECT_EQ(SchemeName(2, plugins), "ZIV");
    EXPECT_EQ(SchemeName(0x80, plugins), "压缩");
    EXPECT_EQ(SchemeName(0x81, plugins), "未知");
    EXPECT_EQ(SchemeName(7, plugins), "未知");
    EXPECT_EQ(FormatVersionText(0x03620046), "3.98.0.70");
}

}  // namespace
}  // namespace tarvex
