#include "tools/epk/DecodedFiles.h"

namespace tarvex::epk {

std::shared_ptr<const ByteBuffer> DecodedFiles::Get(uint32_t node, const std::function<bool(ByteBuffer&)>& decode,
                                                    bool quietly)
{
    std::shared_ptr<File> file;
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        const auto found = kept_.find(node);
        if (found != kept_.end()) {
            recent_.splice(recent_.begin(), recent_, found->second.recent);
            file = found->second.file;
        } else {
            file = std::make_shared<File>();
            recent_.push_front(node);
            kept_.emplace(node, Kept{file, recent_.begin(), 0});
        }
    }
    bool decodedHere = false;
    {
        const std::lock_guard<std::mutex> hold(file->decoding);
        if (!file->done) {
            file->failed = !decode(file->bytes);
            file->failedQuietly = file->failed && quietly;
            file->done = decodedHere = true;
        }
    }
    std::unique_lock<std::mutex> hold(mutex_);
    const auto found = kept_.find(node);
    const bool stillKept = found != kept_.end() && found->second.file == file;
    if (file->failed) {
        if (stillKept) Forget(node);
        if (decodedHere || quietly || !file->failedQuietly) return nullptr;
        hold.unlock();
        return Get(node, decode, quietly);  // decodes, or waits for another who does and says why not
    }
    if (decodedHere && stillKept) {
        found->second.counted = file->bytes.size();
        bytes_ += found->second.counted;
        // Readers of a file let go keep its bytes until they are done.
        while (bytes_ > budget_ && recent_.back() != node) Forget(recent_.back());
    }
    // Shares the file's life, shows only its bytes.
    return {file, &file->bytes};
}

void DecodedFiles::Drop(uint32_t node)
{
    const std::lock_guard<std::mutex> hold(mutex_);
    const auto found = kept_.find(node);
    if (found != kept_.end()) Forget(node);
}

void DecodedFiles::Forget(uint32_t node)
{
    const auto found = kept_.find(node);
    bytes_ -= found->second.counted;
    recent_.erase(found->second.recent);
    kept_.erase(found);
}

}  // namespace tarvex::epk
