#pragma once
// CPackArchive: the pack object of a document. It reads a .epk file into the
// catalogue and writes the catalogue out as one, and keeps what is known about
// the pack file last read or written: its header, its tables' images, the key
// schedule, the title and whether the last read or write ran to its end.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "format/PackRecords.h"
#include "format/PasswordKeys.h"
#include "pack/SaveTarget.h"
#include "pack/SchemeCoder.h"
#include "platform/HeldPack.h"
#include "talk/Prompt.h"

namespace tarvex {

// What the reader mended in a damaged pack that it still opened, so that one
// bad record does not hide the rest of the pack.
struct PackRepairs {
    // Entries whose folder no folder of the table is: they are shown in a
    // folder of their own at the top (msg::kOrphanFolderName, a second one numbered), where
    // a save keeps them.
    std::vector<size_t> orphanEntries;
    // Folders that a second parent listed again: shown at their first place
    // only.
    std::vector<uint16_t> repeatedFolderIds;

    bool Any() const { return !orphanEntries.empty() || !repeatedFolderIds.empty(); }
};

// What a pack object knows about the pack file last read or written.
struct PackState {
    PackHeader header;
    std::vector<ModuleImage> modules;
    std::vector<FolderImage> folders;
    KeySchedule keys;
    std::string title;
    std::string path;
    // The file itself, held open: carried-over files and extractions read
    // their stored bytes from it, wherever its path leads by then.
    std::shared_ptr<HeldPack> file;
    PackRepairs repairs;  // of the read; empty after a write
};

struct StoreOptions {
    // Store a file unencoded when its scheme does not make it smaller.
    bool fallbackToNone = false;
    // Threads that read and encode files; 0: one per core.
    unsigned threads = 0;
    // Asked once every byte of the new pack is written, before it replaces
    // the old one; false abandons it, and Store returns false without a
    // message: the old pack and the catalogue stay as they were.
    std::function<bool()> beforeCommit;
    // How long to wait for another program that is writing the target.
    LockWait lockWait;
    // The user chose the target knowing a file is there (Save As): a file
    // that took the pack's place since it was read is replaced all the same.
    // Otherwise such a save is refused, so that another program's change is
    // never overwritten unasked.
    bool replaceConfirmed = false;
    // Writes the pack front to back to standard output (a pipe, say) instead
    // of a file at the target, which then only names it: nothing is locked,
    // checked or replaced, and a failure cannot take back what was written.
    // The pack's bytes are those a file would get.
    bool toStandardOutput = false;
};

class CPackArchive {
public:
    explicit CPackArchive(Catalogue& catalogue) : catalogue_(catalogue) {}

    Catalogue& GetCatalogue() { return catalogue_; }
    const Catalogue& GetCatalogue() const { return catalogue_; }

    // Flags, folder count and file count back to 0; no pack file is open.
    void ClearPack();
    // Forgets the pack file altogether (a new document): no path, no keys,
    // no table images, the header of a fresh pack object.
    void Forget();

    // Reads the pack at path into the catalogue. Asks for the password of a
    // protected pack, reports every failure through prompt, and leaves the
    // catalogue untouched unless the read succeeds.
    bool Load(const std::string& path, IPrompt& prompt);
    // The same for a pack file already open (and locked by an edit).
    bool Load(const std::shared_ptr<HeldPack>& file, IPrompt& prompt);

    // Writes the catalogue as a pack at target with keys (zero keys: no
    // password). The old file at target survives any failure. On success the
    // folders are renumbered, the plug-in table keeps only the modules in use,
    // and every entry becomes a carried-over entry of the new file.
    bool Store(const std::string& target, const KeySchedule& keys, ISchemeCoder& coder,
               IPrompt& prompt, const StoreOptions& options = {});

    void InstallKeys(const PasswordBlocks& blocks) { state_.keys = MakeKeySchedule(blocks); }
    void InstallKeys(const KeySchedule& keys) { state_.keys = keys; }
    const KeySchedule& Keys() const { return state_.keys; }

    const PackHeader& Header() const { return state_.header; }
    const std::vector<ModuleImage>& ModuleImages() const { return state_.modules; }
    const std::vector<FolderImage>& FolderImages() const { return state_.folders; }
    const std::string& Title() const { return state_.title; }
    // What the last read mended; indices are those of the entries as read.
    const PackRepairs& Repairs() const { return state_.repairs; }
    bool IsLoaded() const { return loaded_; }
    // The pack file the records describe; empty when none.
    const std::string& Path() const { return state_.path; }
    // That file, held open; null when none.
    const std::shared_ptr<HeldPack>& HeldFile() const { return state_.file; }
    // What a save at target would find there.
    SavePlace LookAtTarget(const std::string& target, bool replaceConfirmed) const
    {
        return LookAtSavePlace(target, state_.file.get(), replaceConfirmed);
    }

private:
    Catalogue& catalogue_;
    PackState state_;
    bool loaded_ = false;
};

// The title of a pack file: its name without folder, cut before the last ".".
std::string GetPackTitle(const std::string& path);

}  // namespace tarvex
