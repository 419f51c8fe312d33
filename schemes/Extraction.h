#pragma once
// Getting files out of the pack on disk: decoded to their own bytes, or as
// their stored bytes for carrying them into another pack.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "base/ByteBuffer.h"
#include "pack/PackArchive.h"
#include "pack/StoredData.h"
#include "platform/DiskFolder.h"
#include "schemes/PluginHost.h"
#include "schemes/SchemeDispatch.h"

namespace tarvex {

// What extraction does where a file is already at a target's place (a link
// counts as a file there).
enum class ExistingFiles {
    Replace,  // it is replaced once the new file is complete
    Keep,     // it stays, and the file counts as failed (reported)
    Skip,     // it stays, and is told (not a failure)
};

// Reads and decodes entries of one pack file, which stays open between calls.
class PackExtractor {
public:
    // plugins: where plug-in schemes find their modules (tests only pass one).
    PackExtractor(const CPackArchive& archive, IPrompt& prompt, PluginHost plugins = PluginHost());

    // Opens the pack file the archive's records describe: the very file
    // that was read, wherever its path leads by now. Reports a failure,
    // also when that file was written to since it was read.
    bool Open();

    // Whether entry `index` has bytes in the pack (a carried-over entry or a
    // copy of one).
    bool HasStoredBytes(size_t index) const;

    // Whether entry `index` has a decoder here and sizes its scheme can have
    // (checked before a buffer of its file size is made). Reports why not.
    bool CanDecode(size_t index);
    // The file's own bytes, decoded and checked against its size. An RLE or
    // LZ stream is walked first, and nothing of the recorded size is
    // allocated unless the stream gives exactly that size. Reports every
    // failure (data outside the pack, a stream that does not decode).
    bool Decode(size_t index, ByteBuffer& out);
    // Its stored bytes, unscrambled but still encoded.
    bool ReadRaw(size_t index, ByteBuffer& out);

    // Whether entry `index` is stored as it is: its stored bytes, once
    // unscrambled, are the file's own.
    bool StoredAsIs(size_t index) const;
    // Reads out.size() of the file's own bytes from `offset` on, for a file
    // stored as it is. Reports failures.
    bool ReadAsIs(size_t index, uint64_t offset, std::span<uint8_t> out);
    // Hands the file's own bytes to `take` in order: a file stored as it is
    // in pieces (never held whole), any other decoded whole. Stops when
    // `take` says false. Reports failures; false after one or a stop.
    bool ForEachPiece(size_t index, const std::function<bool(std::span<const uint8_t>)>& take);

    // Decodes entry `index` and writes it as `name` in the folder. A file
    // already there is replaced only once the new one is complete. A file
    // stored as it is goes over without being held (in the kernel when the
    // pack has no password), a coded one is decoded straight into the file.
    bool ExtractTo(size_t index, const DiskFolder& folder, const std::string& name);
    // How ExtractTo (and twins made afterwards) treat a file already there.
    void SetExistingFiles(ExistingFiles existing) { existing_ = existing; }
    // The same at a disk path.
    bool ExtractTo(size_t index, const std::string& targetPath);
    // Writes the stored bytes of entry `index`, unscrambled but still encoded,
    // at targetPath, without holding them.
    bool ExtractRawTo(size_t index, const std::string& targetPath);

    // An extractor of its own for the same pack, reporting through prompt,
    // for a worker thread (the decoders of plug-in modules that are not
    // thread-safe excepted, which run on one thread only).
    std::unique_ptr<PackExtractor> Twin(IPrompt& prompt) const;
    // The bytes entry `index` holds while it is decoded: stored and decoded.
    uint64_t HeldWhileDecoded(size_t index) const;
    // Whether decoding entry `index` may run on a worker thread.
    bool DecodesOnAnyThread(size_t index) const;

private:
    bool ReadStored(const StoredCopy& copy, const std::string& name, ByteBuffer& out);
    StoredCopy CopyOf(size_t index) const;
    bool Inside(const StoredCopy& copy, const std::string& name);
    // Copies the stored bytes of `copy`, unscrambled, to the file `target`
    // of the folder.
    bool CopyStoredTo(const StoredCopy& copy, const std::string& name, const DiskFolder& folder,
                      const std::string& target);
    bool DecodeTo(const StoredCopy& copy, const std::string& name, const DiskFolder& folder, const std::string& target);
    std::span<uint8_t> Scratch();

    const CPackArchive& archive_;
    const Catalogue& catalogue_;
    IPrompt& prompt_;
    SchemeDispatch dispatch_;
    PluginHost plugins_;
    PackDataFile pack_;
    ByteBuffer scratch_;  // the pieces of files that are never held whole
    ExistingFiles existing_ = ExistingFiles::Replace;
};

// Whether a GBK name can be written as one file or folder name on disk: it
// converts to UTF-8, is not empty, "." or "..", and holds no '/', '\' or NUL.
bool IsSafeDiskName(const std::string& gbkName, std::string& utf8Name);

// ExtractDecoded: writes entry `index` of the archive's pack as
// folder/(name or its own name), or as name alone when folder is empty.
// plugins: where plug-in schemes find their modules (tests only pass one).
bool ExtractDecoded(const CPackArchive& archive, size_t index, const std::string& folder, const std::string& name,
                    IPrompt& prompt, PluginHost plugins = PluginHost());

// ExtractRaw: writes entry `index`'s stored bytes, unscrambled but still
// encoded, at targetPath.
bool ExtractRaw(const CPackArchive& archive, size_t index, const std::string& targetPath, IPrompt& prompt);

// What filling a new file came to.
enum class Filled {
    Ok,
    WriteFailed,  // the filler's error says why, if the file's own does not
    Reported,     // the filler has told the user why
};
using FileFiller = std::function<Filled(File& out, std::string& error)>;

// Writes the new file `name` in the folder through `fill`, replacing a file
// there only once the new one is complete, or, as `existing` says, leaving
// it (told). Reports a failure.
bool WriteNewFile(const DiskFolder& folder, const std::string& name, const FileFiller& fill, IPrompt& prompt,
                  ExistingFiles existing = ExistingFiles::Replace);
// The same for bytes held in memory.
bool WriteWholeFile(const DiskFolder& folder, const std::string& name, std::span<const uint8_t> bytes,
                    IPrompt& prompt, ExistingFiles existing = ExistingFiles::Replace);

// The folder of a disk path held open, and the path's last name; nothing
// (reported) when the folder cannot be opened.
std::shared_ptr<const DiskFolder> FolderOfPath(const std::string& path, std::string& name, IPrompt& prompt);

}  // namespace tarvex
