#include "runtime/RuntimePack.h"

#include <cerrno>

#include "archive/FileIo.h"
#include "archive/Messages.h"
#include "archive/SystemErrorText.h"
#include "runtime/DiskFile.h"
#include "schemes/SchemeId.h"

namespace tarvex {

bool RuntimePack::Open(const std::string& path)
{
    // A pipe or a device would be waited on, not read.
    if (const char* reason = NotARegularFile(path)) {
        prompt_.Tell(Printf(msg::kCannotOpenFile, path.c_str(), reason), MsgIcon::Error);
        return false;
    }
    if (!archive_.Load(path, prompt_)) return false;
    index_ = PackIndex(catalogue_);
    extractor_.emplace(archive_, prompt_);
    // The extractor keeps the pack open for the reads of its files.
    if (!extractor_->Open(path)) return false;
    if (FileLength(path, length_)) return true;
    prompt_.Tell(Printf(msg::kCannotOpenFile, path.c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
    return false;
}

bool RuntimePack::StoredInside(size_t entry) const
{
    const PackRecord& r = catalogue_.Records()[entry];
    return uint64_t{r.dataOffset} + r.storedSize <= length_;
}

bool RuntimePack::Admit(size_t entry, std::optional<ByteBuffer>& decoded)
{
    decoded.reset();
    if (!extractor_->CanDecode(entry)) return false;
    if (catalogue_.Records()[entry].scheme == kSchemeNone) return true;
    ByteBuffer bytes;
    if (!extractor_->Decode(entry, bytes)) return false;
    decoded = std::move(bytes);
    return true;
}

}  // namespace tarvex
