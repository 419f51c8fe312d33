#pragma once
// An .epk pack opened for reading by the runtime: its tables are read once,
// its files are found by path through an index and decoded on demand with
// one positioned read of their stored bytes each.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"
#include "catalogue/Catalogue.h"
#include "pack/PackArchive.h"
#include "runtime/PackIndex.h"
#include "schemes/Extraction.h"

namespace tarvex {

class RuntimePack {
public:
    explicit RuntimePack(IPrompt& prompt) : prompt_(prompt) {}
    RuntimePack(const RuntimePack&) = delete;
    RuntimePack& operator=(const RuntimePack&) = delete;

    // Reads the tables of the pack at path; reports every failure. A
    // protected pack is opened with the first of the password's readings its
    // check blocks accept; a wrong reading is dropped without a word while
    // another is left to try.
    bool Open(const std::string& path, const std::vector<PasswordBlocks>& passwordReadings);
    const std::string& Path() const { return archive_.Path(); }

    // How a caller's path names an entry.
    PathReading Resolve(std::string_view text) const { return ResolvePackPath(text, index_); }

    uint32_t FileSize(size_t entry) const { return catalogue_.Records()[entry].fileSize; }
    // Whether the entry's stored bytes lie inside the pack file.
    bool StoredInside(size_t entry) const;
    // Whether the entry can be read at its recorded size: a decoder for its
    // scheme is here and its stored bytes give that many bytes. Reports why
    // not, before anything of that size is allocated. A file stored as it is
    // is judged by its sizes. A coded file is decoded here, and its bytes are
    // kept in `decoded` for the read that follows: an RLE or LZ stream that
    // claims more than 1 MiB is walked first, and every one must give
    // exactly the recorded size; how far a
    // plug-in's stream expands only its module knows, so it decodes into an
    // uncleared buffer whose pages cost memory only as the module fills
    // them, and a size its stream does not give is refused.
    bool Admit(size_t entry, std::optional<ByteBuffer>& decoded);
    // The entry's own bytes; reports a failure.
    bool Decode(size_t entry, ByteBuffer& out) { return extractor_->Decode(entry, out); }

private:
    bool Load(const std::string& path, const std::vector<PasswordBlocks>& passwordReadings);

    IPrompt& prompt_;
    Catalogue catalogue_;
    CPackArchive archive_{catalogue_};
    PackIndex index_;
    std::optional<PackExtractor> extractor_;
    uint64_t length_ = 0;
};

}  // namespace tarvex
