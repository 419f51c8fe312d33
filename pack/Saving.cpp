#include "pack/Saving.h"

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "talk/Messages.h"

namespace tarvex {

std::string Saving::NameOf(size_t index) const
{
    return GbkToUtf8Lossy(catalogue.Entries()[index].name);
}

void Saving::ShowProcessing(size_t index) const
{
    if (!prompt.ShowsProgressText()) return;
    const FileEntry& entry = catalogue.Entries()[index];
    const std::string source = entry.FromPack() ? PackedSourceText(entry.name) : entry.sourcePath;
    prompt.ProgressText(Printf(msg::kSaveProcessing, source.c_str(), NameOf(index).c_str()));
}

bool Saving::StartRecord(size_t index, uint64_t offset, uint32_t fileSize, uint64_t storedSize, uint8_t scheme)
{
    if (offset + storedSize > 0xFFFFFFFFu) return Refuse(msg::kPackTooLarge);
    const FileEntry& entry = catalogue.Entries()[index];
    PackRecord& r = records[index];
    r.name = entry.name;
    r.folderId = entry.folderId == 0 ? 0 : numbering->newIds.at(entry.folderId);
    r.dataOffset = static_cast<uint32_t>(offset);
    r.fileSize = fileSize;
    r.storedSize = static_cast<uint32_t>(storedSize);
    r.scheme = plan.WrittenScheme(scheme);
    return true;
}

bool Saving::PutRange(File& from, const RangeCopy& range, const size_t& reading)
{
    std::string error;
    switch (out.PutRange(from, range, scratch.span(), error)) {
    case CopyStatus::Ok: return true;
    case CopyStatus::SourceEnded:
        return Refuse(Printf(plan.RouteOf(reading) == Route::FromPack ? msg::kDataOutsidePack : msg::kFileChanged,
                             NameOf(reading).c_str()));
    case CopyStatus::ReadFailed: return Refuse(Printf(msg::kReadFailed, NameOf(reading).c_str()));
    case CopyStatus::WriteFailed: break;
    }
    return Refuse(out.FailureText(error.empty() ? out.Writer().Error() : error));
}

}  // namespace tarvex
