#include "runtime/RuntimePack.h"

#include "archive/FileIo.h"

namespace tarvex {

bool RuntimePack::Open(const std::string& path)
{
    if (!archive_.Load(path, prompt_)) return false;
    index_ = PackIndex(catalogue_);
    extractor_.emplace(archive_, prompt_);
    // The extractor keeps the pack open for the reads of its files.
    return extractor_->Open(path) && FileLength(path, length_);
}

bool RuntimePack::StoredInside(size_t entry) const
{
    const PackRecord& r = catalogue_.Records()[entry];
    return uint64_t{r.dataOffset} + r.storedSize <= length_;
}

}  // namespace tarvex
