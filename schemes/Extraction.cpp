#include "schemes/Extraction.h"

#include <fcntl.h>
#include <unistd.h>

#include "archive/FileIo.h"
#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/SafeFileWriter.h"
#include "schemes/SchemeId.h"
#include "schemes/TreeExtraction.h"

namespace tarvex {

PackExtractor::PackExtractor(const CPackArchive& archive, IPrompt& prompt, PluginHost plugins)
    : archive_(archive), catalogue_(archive.GetCatalogue()), prompt_(prompt), dispatch_(catalogue_, prompt, plugins),
      plugins_(std::move(plugins))
{
}

bool PackExtractor::Open(const std::string& packPath)
{
    packPath_ = packPath;
    if (pack_.Open(packPath)) return true;
    prompt_.Tell(Printf(msg::kCannotOpenFile, packPath.c_str(), pack_.Error().c_str()), MsgIcon::Error);
    return false;
}

std::unique_ptr<PackExtractor> PackExtractor::Twin(IPrompt& prompt) const
{
    auto twin = std::make_unique<PackExtractor>(archive_, prompt, plugins_);
    twin->Open(packPath_);
    return twin;
}

bool PackExtractor::DecodesOnAnyThread(size_t index) const
{
    return !HasStoredBytes(index) || dispatch_.ThreadSafe(CopyOf(index).scheme);
}

bool PackExtractor::HasStoredBytes(size_t index) const
{
    const auto& entries = catalogue_.Entries();
    if (index >= entries.size()) return false;
    const FileEntry& e = entries[index];
    return (e.IsCarriedOver() && index < catalogue_.Records().size()) || e.copyOf.has_value();
}

StoredCopy PackExtractor::CopyOf(size_t index) const
{
    const FileEntry& e = catalogue_.Entries()[index];
    return e.IsCarriedOver() ? catalogue_.Records()[index].Location() : *e.copyOf;
}

bool PackExtractor::ReadStored(const StoredCopy& copy, const std::string& name, ByteBuffer& out)
{
    const std::string utf8Name = GbkToUtf8Lossy(name);
    switch (pack_.ReadStored(copy, archive_.Keys(), out)) {
    case ReadStatus::Ok: return true;
    case ReadStatus::NoMemory: prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error); return false;
    case ReadStatus::OutsideFile:
        prompt_.Tell(Printf(msg::kDataOutsidePack, utf8Name.c_str()), MsgIcon::Error);
        return false;
    case ReadStatus::IoError:
        prompt_.Tell(Printf(msg::kReadFailed, utf8Name.c_str()), MsgIcon::Error);
        return false;
    }
    return false;
}

bool PackExtractor::ReadRaw(size_t index, ByteBuffer& out)
{
    if (!HasStoredBytes(index)) return false;
    return ReadStored(CopyOf(index), catalogue_.Entries()[index].name, out);
}

bool PackExtractor::Decode(size_t index, ByteBuffer& out)
{
    if (!HasStoredBytes(index)) return false;
    const StoredCopy copy = CopyOf(index);
    const std::string& name = catalogue_.Entries()[index].name;
    ByteBuffer stored;
    if (!ReadStored(copy, name, stored)) return false;
    if (copy.scheme == 0 && copy.storedSize == copy.fileSize) {
        out = std::move(stored);  // already the file's own bytes
        return true;
    }
    return dispatch_.Decode(stored.span(), copy.fileSize, out, copy.scheme, name);
}

bool PackExtractor::ExtractTo(size_t index, const std::string& targetPath)
{
    ByteBuffer bytes;
    return Decode(index, bytes) && WriteWholeFile(targetPath, bytes.span(), prompt_);
}

bool IsSafeDiskName(const std::string& gbkName, std::string& utf8Name)
{
    const std::optional<std::string> utf8 = GbkToUtf8(gbkName);
    if (!utf8 || utf8->empty() || *utf8 == "." || *utf8 == "..") return false;
    if (utf8->find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
    utf8Name = *utf8;
    return true;
}

bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, IPrompt& prompt)
{
    // Where nothing is in the way the file is written in place (and removed
    // again if that fails); anything already there, a link included, is
    // replaced only by a complete file and never written through.
    File fresh;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        fresh.Adopt(fd);
        if (fresh.WriteAll(bytes) && fresh.Close()) return true;
        prompt.Tell(Printf(msg::kCannotWriteTarget, path.c_str(), fresh.Error().c_str()), MsgIcon::Error);
        ::unlink(path.c_str());
        return false;
    }
    SafeFileWriter out;
    if (out.Open(path, SafeFileWriter::Links::Replace) && out.Write(bytes) && out.Commit(/*durable=*/false))
        return true;
    prompt.Tell(Printf(msg::kCannotWriteTarget, path.c_str(), out.Error().c_str()), MsgIcon::Error);
    return false;
}

bool ExtractDecoded(const CPackArchive& archive, size_t index, const std::string& packPath, const std::string& folder,
                    const std::string& name, IPrompt& prompt, PluginHost plugins)
{
    PackExtractor extractor(archive, prompt, std::move(plugins));
    if (!extractor.HasStoredBytes(index) || !extractor.Open(packPath)) return false;
    if (folder.empty()) return extractor.ExtractTo(index, name);
    if (name.empty()) return ExtractEntryInto(extractor, archive.GetCatalogue(), index, folder, prompt);
    return extractor.ExtractTo(index, folder + "/" + name);
}

bool ExtractRaw(const CPackArchive& archive, size_t index, const std::string& packPath,
                const std::string& targetPath, IPrompt& prompt)
{
    PackExtractor extractor(archive, prompt);
    ByteBuffer bytes;
    return extractor.HasStoredBytes(index) && extractor.Open(packPath) && extractor.ReadRaw(index, bytes) &&
           WriteWholeFile(targetPath, bytes.span(), prompt);
}

}  // namespace tarvex
