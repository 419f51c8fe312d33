#pragma once
// What the parts of a save share: what is saved and with what, the new pack
// file being written, the plan of how each file gets into it, and the records
// of the files written so far. The parts: the tables (TableWriter), files
// read and encoded on the workers (FileProduction), large files streamed from
// their sources (StreamedFiles), runs of files copied from the old pack
// (CarryOver); PackWriter.cpp tells the story of a save with them.
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ByteBuffer.h"
#include "catalogue/Catalogue.h"
#include "pack/FolderTable.h"
#include "pack/PackArchive.h"
#include "pack/PackOutput.h"
#include "pack/SavePlan.h"

namespace tarvex {

struct Saving {
    Saving(Catalogue& c, const PackState& from, ISchemeCoder& with, IPrompt& p, const StoreOptions& o,
           const KeySchedule& k)
        : catalogue(c), current(from), coder(with), prompt(p), options(o), keys(k), plan(c, with), out(keys, p)
    {
    }

    bool Refuse(const std::string& text) const
    {
        prompt.Tell(text, MsgIcon::Error);
        return false;
    }
    // The name of entry `index`, in UTF-8 for messages.
    std::string NameOf(size_t index) const;
    // Shows which file is written now.
    void ShowProcessing(size_t index) const;
    // Fills record `index` for a file whose stored bytes start at offset.
    bool StartRecord(size_t index, uint64_t offset, uint32_t fileSize, uint64_t storedSize, uint8_t scheme);
    // Copies a range into the pack at its end; a failure to read is told as
    // one of the file `reading` (the one the copy had reached by then).
    bool PutRange(File& from, const RangeCopy& range, const size_t& reading);

    Catalogue& catalogue;
    const PackState& current;
    ISchemeCoder& coder;
    IPrompt& prompt;
    const StoreOptions& options;
    const KeySchedule keys;
    SavePlan plan;
    PackOutput out;
    PackHeader header;
    const FolderNumbering* numbering = nullptr;
    std::vector<PackRecord> records;
    ByteBuffer scratch;  // the pieces of copies that cannot go in the kernel
    std::unordered_map<uint32_t, std::string> folderPaths;  // for the names in encoders' faults
    std::vector<std::string> storedUnencoded;               // faults of files stored unencoded, in entry order
};

}  // namespace tarvex
