// Known answers worked out from the format's rules alone, never by our own
// writer or key code: the password blocks and keys of two passwords, and a
// protected pack byte for byte. Reader and writer share one scrambler and one
// key derivation, so only answers from outside can tell that both are right.
#include <gtest/gtest.h>

#include "base/GbkText.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

std::string Gbk(const char* utf8)
{
    return Utf8ToGbk(utf8).value();
}

struct PasswordAnswer {
    const char* password;  // UTF-8; derived from its GBK bytes
    std::array<uint8_t, 16> a, b;
    std::array<uint8_t, 8> byteKeys;
    std::array<uint16_t, 8> wordKeys;
    std::array<uint32_t, 8> dwordKeys;
};

const PasswordAnswer kPasswords[] = {
    // 57 bytes: the first digest's padding takes a second block, and the hex
    // text of the second digest goes in behind it.
    {"a long pass phrase, typed with care on a Monday: 7 apples",
     {0xDF, 0xB0, 0x5F, 0x23, 0x98, 0x94, 0x50, 0xFA, 0xD0, 0xD9, 0x44, 0x51, 0x13, 0xB7, 0xB6, 0xA2},
     {0xCD, 0x9E, 0xE3, 0xDE, 0x2A, 0xE9, 0x23, 0xA2, 0x36, 0x5E, 0xB9, 0xBF, 0xCB, 0xC0, 0x94, 0x17},
     {0xB7, 0x94, 0xD9, 0x51, 0x23, 0xD0, 0x98, 0x44},
     {0x9851, 0xD0DF, 0xB0D9, 0xB794, 0x4423, 0xD9B6, 0x23D0, 0xFAB0},
     {0xA294D050, 0x50D9DF98, 0xD9A244D0, 0x231398B0, 0xFADFD95F, 0x5F5150D9, 0x13D0B744, 0x44B02394}},
    {"芝麻开门",  // D6 A5 C2 E9 BF AA C3 C5
     {0x3A, 0xE9, 0x5E, 0x99, 0x7C, 0x01, 0xC7, 0xA5, 0x1F, 0xE0, 0xB2, 0xA7, 0x39, 0x77, 0xD1, 0x34},
     {0x6B, 0xB4, 0xCA, 0x71, 0x74, 0x9B, 0x1C, 0x5D, 0x13, 0x15, 0xF8, 0x13, 0xC0, 0xDF, 0xF7, 0x58},
     {0x77, 0x01, 0xE0, 0xA7, 0x99, 0x1F, 0x7C, 0xB2},
     {0x7CA7, 0x1F3A, 0xE9E0, 0x7701, 0xB299, 0xE0D1, 0x991F, 0xA5E9},
     {0x34011FC7, 0xC7E03A7C, 0xE034B21F, 0x99397CE9, 0xA53AE05E, 0x5EA7C7E0, 0x391F77B2, 0xB2E99901}},
};

TEST(FormatVectors, PasswordBlocksAndTheirKeys)
{
    for (const PasswordAnswer& answer : kPasswords) {
        SCOPED_TRACE(answer.password);
        const PasswordBlocks blocks = DerivePasswordBlocks(Gbk(answer.password));
        EXPECT_EQ(blocks.a, answer.a);
        EXPECT_EQ(blocks.b, answer.b);

        const KeySchedule keys = MakeKeySchedule({answer.a, answer.b});
        EXPECT_EQ(keys.byteKeys, answer.byteKeys);
        EXPECT_EQ(keys.wordKeys, answer.wordKeys);
        EXPECT_EQ(keys.dwordKeys, answer.dwordKeys);
        EXPECT_EQ(keys.streamKey, answer.a);
        EXPECT_EQ(keys.checkBytes, answer.b);
    }
}

// root -> art -> 图标; readme.txt in the root as it is, art\logo.rle with RLE,
// art\图标\值.lz with LZ (too short to shrink: one literal run and the end
// marker, kept as the editor keeps it), saved with the password 芝麻开门.
// clang-format off
const std::vector<uint8_t> kProtectedPack = {
    0x5A, 0x56, 0x50, 0x4B, 0x01, 0xF7, 0xA5, 0x00, 0xC4, 0x1F, 0x01, 0x34, 0x3B, 0x3A, 0xE0, 0xC7,  // header
    0x6B, 0xB4, 0xCA,                                                                                // check block
    0xE3, 0x5B, 0x9B, 0x2A, 0x3B, 0x00, 0xE2, 0x00,                                                  // folder art
    0xA3, 0x54, 0xC0, 0xB0, 0x2D, 0x03, 0x00, 0x9B, 0x00,                                            // folder 图标
    0x71, 0x74, 0x9B, 0x1C, 0x5D, 0x13, 0x15, 0xF8, 0x13, 0xC0, 0xDF, 0xF7, 0x58, 0x6B, 0xB4,        // check block
    0x72, 0x8C, 0x32, 0xF5, 0x13, 0x2D, 0xE7, 0xD5, 0x7E, 0x83, 0xD9, 0x86, 0x33,                    // readme.txt
    0x2C, 0xE9, 0x5E, 0x99, 0x7E, 0x60, 0xA5, 0x34, 0x7C,                                            // logo.rle
    0x2D, 0xA5, 0x04, 0xB4, 0x13, 0x6A, 0xE6, 0xB4, 0x1F, 0xE0,                                      // 值.lz
    0xCA, 0x71, 0x74, 0x9B, 0x1C, 0x5D, 0x13, 0x15, 0xF8, 0x13, 0xC0, 0xDF, 0xF7, 0x58, 0x6B,        // check block
    // entry readme.txt
    0x76, 0xD7, 0x7A, 0x81, 0xD6, 0xCA, 0x5C, 0x59, 0xA5, 0x4C, 0x4E, 0x2C, 0xB2, 0x34, 0xE0, 0xE4, 0x7C, 0x39,
    0x99, 0x53, 0xE0, 0x3A, 0xA5, 0xD1, 0x00, 0xB2,
    // entry logo.rle
    0x7F, 0x85, 0x31, 0xFE, 0x13, 0x2F, 0xB5, 0xC9, 0x7A, 0xA0, 0xC7, 0xA7, 0x5E, 0xA4, 0x77, 0x1F, 0x39, 0x08,
    0x99, 0xE9, 0xB2, 0x1E, 0x00, 0x00,
    // entry 值.lz
    0xE5, 0x36, 0x07, 0x89, 0x55, 0x0D, 0x8E, 0x1F, 0x01, 0x34, 0x7A, 0x3A, 0xE0, 0xC7, 0x15, 0xB2, 0x34, 0xE0,
    0xEB, 0x00, 0xA5,
};
// clang-format on

TEST(FormatVectors, AProtectedPackByteForByte)
{
    const struct {
        const char* path;
        std::string bytes;
        uint8_t scheme;
    } files[] = {
        {"readme.txt", "Hello, pack!\n", 0},
        {"art\\logo.rle", "ab" + std::string(20, 'c'), 1},
        {"art\\图标\\值.lz", "LZ-ok!", 2},
    };
    TempDir dir;
    PackDoc doc;
    std::map<std::string, std::vector<uint8_t>> contents;
    for (const auto& file : files) {
        contents[Gbk(file.path)].assign(file.bytes.begin(), file.bytes.end());
        doc.AddFile(dir, Gbk(file.path), contents[Gbk(file.path)], file.scheme);
    }
    ASSERT_TRUE(doc.Save(dir / "written.epk", "芝麻开门"));
    EXPECT_EQ(test::ReadFileBytes(dir / "written.epk"), kProtectedPack);

    PackDoc reader;
    ASSERT_TRUE(reader.Open(dir.Write("given.epk", kProtectedPack), "芝麻开门"));
    EXPECT_EQ(reader.Folders(), (std::map<std::string, uint16_t>{{"art", 1}, {Gbk("art\\图标"), 2}}));
    EXPECT_EQ(reader.Contents(), contents);
    std::vector<uint8_t> schemes;
    for (const FileEntry& entry : reader.catalogue.Entries()) schemes.push_back(entry.scheme);
    EXPECT_EQ(schemes, (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(reader.prompt.Texts(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarvex
