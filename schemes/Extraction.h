#pragma once
// Getting files out of the pack on disk: decoded to their own bytes, or as
// their stored bytes for carrying them into another pack.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/ByteBuffer.h"
#include "archive/PackArchive.h"
#include "archive/StoredData.h"
#include "schemes/PluginHost.h"
#include "schemes/SchemeDispatch.h"

namespace tarvex {

// Reads and decodes entries of one pack file, which stays open between calls.
class PackExtractor {
public:
    // plugins: where plug-in schemes find their modules (tests only pass one).
    PackExtractor(const CPackArchive& archive, IPrompt& prompt, PluginHost plugins = PluginHost());

    // Opens the pack file the archive's records describe (or another path
    // holding the same pack). Reports a failure.
    bool Open(const std::string& packPath);

    // Whether entry `index` has bytes in the pack (a carried-over entry or a
    // copy of one).
    bool HasStoredBytes(size_t index) const;

    // The file's own bytes, decoded and checked against its size. Reports
    // every failure (data outside the pack, a stream that does not decode).
    bool Decode(size_t index, ByteBuffer& out);
    // Its stored bytes, unscrambled but still encoded.
    bool ReadRaw(size_t index, ByteBuffer& out);

    // Decodes entry `index` and writes it at targetPath (a disk path). A file
    // already there is replaced only once the new one is complete.
    bool ExtractTo(size_t index, const std::string& targetPath);

    // An extractor of its own for the same pack, reporting through prompt,
    // for a worker thread (the decoders of plug-in modules that are not
    // thread-safe excepted, which run on one thread only).
    std::unique_ptr<PackExtractor> Twin(IPrompt& prompt) const;
    // Whether decoding entry `index` may run on a worker thread.
    bool DecodesOnAnyThread(size_t index) const;

private:
    bool ReadStored(const StoredCopy& copy, const std::string& name, ByteBuffer& out);
    StoredCopy CopyOf(size_t index) const;

    const CPackArchive& archive_;
    const Catalogue& catalogue_;
    IPrompt& prompt_;
    SchemeDispatch dispatch_;
    PluginHost plugins_;
    PackDataFile pack_;
    std::string packPath_;
};

// Whether a GBK name can be written as one file or folder name on disk: it
// converts to UTF-8, is not empty, "." or "..", and holds no '/', '\' or NUL.
bool IsSafeDiskName(const std::string& gbkName, std::string& utf8Name);

// ExtractDecoded: writes entry `index` of the pack at packPath as
// folder/(name or its own name), or as name alone when folder is empty.
// plugins: where plug-in schemes find their modules (tests only pass one).
bool ExtractDecoded(const CPackArchive& archive, size_t index, const std::string& packPath, const std::string& folder,
                    const std::string& name, IPrompt& prompt, PluginHost plugins = PluginHost());

// ExtractRaw: writes entry `index`'s stored bytes, unscrambled but still
// encoded, at targetPath.
bool ExtractRaw(const CPackArchive& archive, size_t index, const std::string& packPath,
                const std::string& targetPath, IPrompt& prompt);

// Writes bytes as a new file at path, replacing a file there only once the
// new one is complete. Reports a failure.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, IPrompt& prompt);

}  // namespace tarvex
