// The seams of joined LZ pieces, one shape at a time: 0 to 4 literals
// pending after a match (up to 3 counted in the match's state bits, 4 in a
// run code of their own), and literal runs whose code changes form at 18/19,
// at 238/239 for the first run, and at 273/274 and 528/529 where another
// zero byte of the long count begins. The compressor leaves several
// literals after a piece's last match, so its pieces never make the short
// seams: these pieces are written by hand. The joined stream is decoded by
// the LZO library itself.
#include <lzo/lzo1x.h>

#include <gtest/gtest.h>

#include "codecs/LzPieces.h"

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

enum class Kind {
    Literals,    // the piece is one literal run
    ShortMatch,  // literals, 4 bytes copied from distance 1 in a two-byte code, literals
    LongMatch,   // the same with 10 bytes in a three-byte code
};

struct PieceShape {
    size_t head;  // 1..238
    Kind kind;
    size_t tail;  // 0..18: in the state bits up to 3, else in a run code
};

// One piece as a stream of its own. Its literals are taken from `next`, so
// no two literals in a row are equal: a match that reaches one byte too far
// copies other bytes.
Bytes PieceStream(const PieceShape& piece, uint8_t& next)
{
    Bytes s = {static_cast<uint8_t>(17 + piece.head)};
    const auto literals = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) s.push_back(next++);
    };
    literals(piece.head);
    if (piece.kind != Kind::Literals) {
        const auto state = static_cast<uint8_t>(piece.tail <= 3 ? piece.tail : 0);
        if (piece.kind == Kind::ShortMatch)
            s.insert(s.end(), {static_cast<uint8_t>(0x60 | state), 0});
        else
            s.insert(s.end(), {0x28, state, 0});
        if (piece.tail > 3) s.push_back(static_cast<uint8_t>(piece.tail - 3));
        literals(piece.tail);
    }
    s.insert(s.end(), {0x11, 0, 0});
    return s;
}

// What the library decodes a stream to; none when it refuses the stream.
std::optional<Bytes> LibraryDecode(const Bytes& stream, size_t capacity)
{
    Bytes out(capacity);
    lzo_uint length = out.size();
    if (lzo1x_decompress_safe(stream.data(), stream.size(), out.data(), &length, nullptr) != LZO_E_OK)
        return std::nullopt;
    out.resize(length);
    return out;
}

class CollectedStream : public IStreamOutput {
public:
    explicit CollectedStream(const Bytes& input) : input_(input) {}
    bool Codes(std::span<const uint8_t> codes) override
    {
        stream.insert(stream.end(), codes.begin(), codes.end());
        return true;
    }
    bool Literals(uint64_t end, uint64_t count) override
    {
        stream.insert(stream.end(), input_.begin() + static_cast<long>(end - count),
                      input_.begin() + static_cast<long>(end));
        return true;
    }
    Bytes stream;

private:
    const Bytes& input_;
};

TEST(LzJoinShapes, EverySeamDecodesWithTheLibrary)
{
    ASSERT_EQ(lzo_init(), LZO_E_OK);
    constexpr Kind L = Kind::Literals, S = Kind::ShortMatch, M = Kind::LongMatch;
    const struct {
        const char* seam;
        std::vector<PieceShape> pieces;
    } cases[] = {
        {"0 after the last match", {{5, S, 0}}},
        {"1 after a match", {{5, S, 0}, {1, M, 0}}},
        {"2 after a match, then 2 at the end", {{5, M, 1}, {1, S, 2}}},
        {"3 after a match, then 3 at the end", {{5, S, 2}, {1, M, 3}}},
        {"4 after a short match", {{5, S, 3}, {1, S, 0}}},
        {"4 after a long match, then 4 at the end", {{5, M, 1}, {3, S, 4}}},
        {"4 after a match, across a piece of literals", {{5, M, 0}, {2, L, 0}, {2, M, 0}}},
        {"18 after a match", {{5, S, 0}, {18, S, 0}}},
        {"19 after a match", {{5, S, 1}, {18, M, 0}}},
        {"a first run of 3", {{2, L, 0}, {1, S, 1}}},
        {"a first run of 238", {{200, L, 0}, {38, S, 0}}},
        {"a first run of 239", {{200, L, 0}, {39, M, 0}}},
        {"a first run of 273", {{200, L, 0}, {73, S, 0}}},
        {"a first run of 274", {{200, L, 0}, {74, M, 0}}},
        {"273 after a match", {{5, M, 0}, {200, L, 0}, {73, S, 0}}},
        {"274 after a match", {{5, S, 0}, {200, L, 0}, {74, M, 0}}},
        {"528 after a match", {{5, M, 0}, {238, L, 0}, {238, L, 0}, {52, S, 0}}},
        {"529 after a match", {{5, S, 0}, {238, L, 0}, {238, L, 0}, {53, S, 0}}},
        {"literals only, 239 of them", {{238, L, 0}, {1, L, 0}}},
        {"230 after the last match", {{5, M, 0}, {230, L, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seam);
        uint8_t next = 0x40;
        std::vector<Bytes> streams;
        std::vector<size_t> sizes;
        Bytes input;
        for (const PieceShape& piece : c.pieces) {
            streams.push_back(PieceStream(piece, next));
            const std::optional<Bytes> own = LibraryDecode(streams.back(), piece.head + 10 + piece.tail);
            ASSERT_TRUE(own);
            sizes.push_back(own->size());
            input.insert(input.end(), own->begin(), own->end());
        }
        CollectedStream output(input);
        LzJoiner joiner(output);
        for (size_t k = 0; k < streams.size(); ++k) {
            const std::optional<LzStreamShape> shape = ShapeOfLzStream(streams[k]);
            ASSERT_TRUE(shape) << "piece " << k;
            ASSERT_TRUE(joiner.Add({streams[k], *shape, sizes[k]}));
        }
        const uint64_t foreseen = joiner.Length();
        ASSERT_TRUE(joiner.Finish());
        EXPECT_EQ(output.stream.size(), foreseen);
        EXPECT_EQ(LibraryDecode(output.stream, input.size()), input);
    }
}

}  // namespace
}  // namespace tarvex
