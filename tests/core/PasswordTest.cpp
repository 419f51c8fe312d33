// Password blocks, the key schedule, and what a pack does with wrong or
// unusable passwords.
#include <gtest/gtest.h>

#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

TEST(PasswordBlocks, FirstDigestIsOrdinaryMd5WithLowNibblesSwapped)
{
    // MD5("abc") = 900150983cd24fb0d6963f7d28e17f72
    const uint8_t d1[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                            0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    const PasswordBlocks blocks = DerivePasswordBlocks("abc");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(blocks.a[i] & 0xF0, d1[i] & 0xF0) << i;
        EXPECT_EQ(blocks.b[i] & 0x0F, d1[i] & 0x0F) << i;
    }
    EXPECT_EQ(DerivePasswordBlocks("abc"), blocks);
    EXPECT_NE(DerivePasswordBlocks("abd"), blocks);
    EXPECT_TRUE(DerivePasswordBlocks("").IsZero());
}

TEST(KeySchedule, TakesItsKeysFromTheFirstBlock)
{
    PasswordBlocks blocks;
    for (int i = 0; i < 16; ++i) {
        blocks.a[i] = static_cast<uint8_t>(i);
        blocks.b[i] = static_cast<uint8_t>(0xB0 + i);
    }
    const KeySchedule k = MakeKeySchedule(blocks);
    EXPECT_EQ(k.byteKeys, (std::array<uint8_t, 8>{13, 5, 9, 11, 3, 8, 4, 10}));
    EXPECT_EQ(k.wordKeys, (std::array<uint16_t, 8>{0x040B, 0x0800, 0x0109, 0x0D05, 0x0A03, 0x090E, 0x0308, 0x0701}));
    EXPECT_EQ(k.dwordKeys[0], 0x0F050806u);
    EXPECT_EQ(k.dwordKeys[7], 0x0A010305u);
    EXPECT_EQ(k.streamKey, blocks.a);
    EXPECT_EQ(k.checkBytes, blocks.b);
    EXPECT_TRUE(k.IsProtected());
}

TEST(KeySchedule, RefusesKeysAPackCannotCarry)
{
    EXPECT_TRUE(KeysUsable(KeySchedule{}));
    EXPECT_TRUE(KeysUsable(test::KeysFor("secret")));

    KeySchedule unmarked = test::KeysFor("secret");
    unmarked.dwordKeys[0] = unmarked.dwordKeys[1] = 0;  // scrambled, yet marked unprotected
    EXPECT_FALSE(KeysUsable(unmarked));

    KeySchedule endless = test::KeysFor("secret");
    for (auto& key : endless.byteKeys) key &= 0xF0;  // third check block length never found
    EXPECT_FALSE(KeysUsable(endless));
}

class ProtectedPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.AddFile(dir, "a\\x.txt", test::TextLikeBytes(300, 1), 2);
        ASSERT_TRUE(doc.Save(dir / "p.epk", "right"));
    }
    TempDir dir;
    PackDoc doc;
};

TEST_F(ProtectedPack, OpensOnlyWithItsPassword)
{
    std::vector<std::string> wrong = {"righ", "right ", "Right", "密码"};
    for (size_t length = 1; length <= 130; length += 3) wrong.push_back(std::string(length, 'r'));
    for (const std::string& password : wrong) {
        PackDoc other;
        EXPECT_FALSE(other.Open(dir / "p.epk", password)) << password;
        EXPECT_EQ(other.prompt.Texts(), std::vector<std::string>{msg::kWrongPassword}) << password;
        EXPECT_EQ(other.prompt.messages[0].icon, MsgIcon::Error);
    }
    PackDoc cancelled;  // no password given: the dialog was cancelled
    EXPECT_FALSE(cancelled.Open(dir / "p.epk"));
    EXPECT_EQ(cancelled.prompt.passwordQuestions, 1);
    EXPECT_EQ(cancelled.prompt.Texts(), std::vector<std::string>{msg::kWrongPassword});

    PackDoc right;
    EXPECT_TRUE(right.Open(dir / "p.epk", "right"));
}

TEST_F(ProtectedPack, ResavingWithAnotherPasswordOrNoneWorks)
{
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(dir / "p.epk", "right"));
    const auto contents = reopened.Contents();
    ASSERT_TRUE(reopened.Save(dir / "p.epk", "新密码"));
    PackDoc again;
    ASSERT_TRUE(again.Open(dir / "p.epk", "新密码"));
    EXPECT_EQ(again.Contents(), contents);
    ASSERT_TRUE(again.Save(dir / "plain.epk"));
    PackDoc plain;
    ASSERT_TRUE(plain.Open(dir / "plain.epk"));
    EXPECT_EQ(plain.prompt.passwordQuestions, 0);
    EXPECT_EQ(plain.Contents(), contents);
}

TEST(ProtectedSave, RefusesUnusableKeysBeforeWriting)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "f", {'1'});
    KeySchedule endless = test::KeysFor("secret");
    for (auto& key : endless.byteKeys) key &= 0xF0;
    SchemeDispatch dispatch(doc.catalogue, doc.prompt);
    EXPECT_FALSE(doc.archive.Store(dir / "p.epk", endless, dispatch, doc.prompt));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kPasswordUnusable});
    EXPECT_EQ(dir.List(), std::vector<std::string>{"src0"});
}

TEST(ProtectedSave, RefusesAFieldThatWouldScrambleToAllOnes)
{
    // The file count 1 meets a double-word key of 0xFFFFFFFE: its stored
    // form would be all ones, which a reader takes as a restart signal.
    PasswordBlocks blocks;
    blocks.a.fill(0x11);
    blocks.a[15] = 0xFF;
    blocks.a[5] = 0xFF;
    blocks.a[8] = 0xFF;
    blocks.a[6] = 0xFE;
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "f", {'1'});
    const std::string old = dir.Write("p.epk", std::string("old pack"));
    SchemeDispatch dispatch(doc.catalogue, doc.prompt);
    EXPECT_FALSE(doc.archive.Store(old, MakeKeySchedule(blocks), dispatch, doc.prompt));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kPasswordUnusableHere});
    EXPECT_EQ(test::ReadFileBytes(old), (std::vector<uint8_t>{'o', 'l', 'd', ' ', 'p', 'a', 'c', 'k'}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0"}));
}

}  // namespace
}  // namespace tarvex
