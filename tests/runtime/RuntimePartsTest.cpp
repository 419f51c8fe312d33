// The pieces behind CRQ_File that decide on their own: console text and
// where loose files lie.
#include <gtest/gtest.h>

#include "base/GbkText.h"
#include "runtime/ConsoleText.h"
#include "runtime/LoosePath.h"

namespace tarvex {
namespace {

std::string Gbk(const std::string& utf8)
{
    return Utf8ToGbk(utf8).value();
}

TEST(ConsoleText, GbkFamilyConsolesGetGbkBytesOthersUtf8)
{
    for (const char* codeset : {"GBK", "gbk", "CP936", "GB2312", "EUC-CN", "GB18030", "gb-18030"}) {
        EXPECT_TRUE(IsGbkCodeset(codeset)) << codeset;
        EXPECT_EQ(ToConsole("文件x.txt的长度是：", codeset), Gbk("文件x.txt的长度是：")) << codeset;
    }
    for (const char* codeset : {"UTF-8", "utf8", "ANSI_X3.4-1968", "BIG5", ""}) {
        EXPECT_FALSE(IsGbkCodeset(codeset)) << codeset;
        EXPECT_EQ(ToConsole("写入成功！", codeset), "写入成功！") << codeset;
    }
}

TEST(ConsoleText, CutsNeverSplitACharacter)
{
    struct Case {
        std::string text;
        size_t max;
        bool gbk;
        size_t expected;
    };
    const std::string utf8 = "ab字字";          // 2 + 3 + 3 bytes
    const std::string gbk = Gbk("ab字字");      // 2 + 2 + 2 bytes
    const std::string trail = Gbk("乗") + "x";  // a trail byte that is the code of '\'
    const Case cases[] = {
        {utf8, 100, false, 8}, {utf8, 8, false, 8}, {utf8, 7, false, 5}, {utf8, 5, false, 5},
        {utf8, 4, false, 2},   {utf8, 0, false, 0}, {gbk, 5, true, 4},   {gbk, 4, true, 4},
        {gbk, 3, true, 2},     {trail, 1, true, 0}, {trail, 2, true, 2}, {"abc", 2, true, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WholeCharacterPrefix(c.text, c.max, c.gbk), c.expected) << c.text << " max " << c.max;
}

TEST(LoosePath, StaysBelowTheExternalFolder)
{
    struct Case {
        std::string root;
        std::string text;
        std::vector<std::string> components;
        LooseLookup lookup;
        std::string path;
    };
    const Case cases[] = {
        {"ext", "info\\info.txt", {"info", "info.txt"}, LooseLookup::Path, "ext/info/info.txt"},
        {"ext/", "a/b", {"a", "b"}, LooseLookup::Path, "ext/a/b"},
        {"", "a", {"a"}, LooseLookup::Path, "./a"},
        {"/", "a", {"a"}, LooseLookup::Path, "/a"},
        {"ext", Gbk("图片\\乗.txt"), {Gbk("图片"), Gbk("乗.txt")}, LooseLookup::Path, "ext/图片/乗.txt"},
        {"ext", "..\\secret", {"..", "secret"}, LooseLookup::Unsafe, ""},
        {"ext", "a\\..\\..\\b", {"a", "..", "..", "b"}, LooseLookup::Unsafe, ""},
        {"ext", "a/./b", {"a", ".", "b"}, LooseLookup::Unsafe, ""},
        {"ext", "/etc/passwd", {"etc", "passwd"}, LooseLookup::Unsafe, ""},
        {"ext", "\\etc\\passwd", {"etc", "passwd"}, LooseLookup::Unsafe, ""},
        {"ext", "", {}, LooseLookup::Unnameable, ""},
        {"ext", "\xFF\xFF", {"\xFF\xFF"}, LooseLookup::Unnameable, ""},
    };
    for (const Case& c : cases) {
        const LoosePath loose = LooseFilePath(c.root, c.text, c.components);
        EXPECT_EQ(loose.lookup, c.lookup) << c.text;
        EXPECT_EQ(loose.path, c.path) << c.text;
    }
    EXPECT_EQ(FolderOf("test.epk"), ".");
    EXPECT_EQ(FolderOf("game/data/test.epk"), "game/data");
    EXPECT_EQ(FolderOf("/test.epk"), "/");
}

}  // namespace
}  // namespace tarvex
