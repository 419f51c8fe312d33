#include "format/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tarvex {
namespace {

std::span<const uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Hex(const std::array<uint8_t, 16>& digest)
{
    std::string hex;
    char pair[3];
    for (uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

TEST(Md5, KnownDigests)
{
    const struct {
        std::string input;
        const char* hex;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Around the length field's place in the last block, and whole blocks.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70"},
    };
    for (const auto& c : cases) {
        Md5 md5;
        md5.Update(Bytes(c.input));
        EXPECT_EQ(Hex(md5.Final()), c.hex) << c.input.size() << " bytes";
    }
}

TEST(Md5, PiecesGiveTheSameDigestAsOneCall)
{
    std::string text;
    for (int k = 0; k < 300; ++k) {
        text += static_cast<char>('!' + (k * 37) % 90);
    }
    Md5 whole;
    whole.Update(Bytes(text));
    const std::string expected = Hex(whole.Final());
    for (size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 129u}) {
        Md5 md5;
        md5.Update({});
        for (size_t at = 0; at < text.size(); at += piece) {
            md5.Update(Bytes(std::string_view(text).substr(at, piece)));
        }
        EXPECT_EQ(Hex(md5.Final()), expected) << "pieces of " << piece;
    }
}

// A second digest through the same object without Init() continues from the
// state Final() left: first state word zero, old bit count, padded buffer.
// The expected values come from a separate implementation of these rules.
TEST(Md5, SecondDigestContinuesFromFinalState)
{
    const struct {
        const char* text;
        const char* first;
        const char* second;
    } cases[] = {
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "7a4dfed139e795184924148b4cf5f155"},
        // 60 bytes: the padding spills into a second block, and the hex text
        // then straddles the end of the buffer Final() left behind.
        {"The quick brown fox jumps over the lazy dog, twice: 0123456.", "551cc31fc863a7dc6c1d156a35839ba9",
         "41666439e7286593bc4f41e791083e82"},
    };
    for (const auto& c : cases) {
        Md5 md5;
        md5.Update(Bytes(c.text));
        const std::string first = Hex(md5.Final());
        EXPECT_EQ(first, c.first);
        md5.Update(Bytes(first));
        EXPECT_EQ(Hex(md5.Final()), c.second) << c.text;
    }
}

}  // namespace
}  // namespace tarvex
