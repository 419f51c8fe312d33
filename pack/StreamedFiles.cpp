#include "pack/StreamedFiles.h"

#include <algorithm>
#include <cstring>

#include "talk/Messages.h"
#include "threads/RunAhead.h"

namespace tarvex {
namespace {

// Takes an encoding made while its file is read into the pack: codes and the
// literals of the window in hand from memory, literals of earlier windows
// copied from the source again (in the kernel where they can), all scrambled
// on their way when the pack is protected.
class EncodedOutput : public IStreamOutput {
public:
    EncodedOutput(Saving& saving, size_t index, File& source) : saving_(saving), index_(index), source_(source)
    {
    }
    void SetWindow(uint64_t start, std::span<const uint8_t> window)
    {
        windowStart_ = start;
        window_ = window;
    }
    bool Failed() const { return failed_; }
    // From now on only the length of the encoding counts: nothing is written.
    void MeasureOnly() { measuring_ = true; }
    bool Measuring() const { return measuring_; }

    bool Codes(std::span<const uint8_t> codes) override { return measuring_ || Append(codes); }
    bool Literals(uint64_t end, uint64_t count) override
    {
        if (measuring_) return true;
        const uint64_t begin = end - count;
        if (begin < windowStart_) {
            RangeCopy range;
            range.offset = begin;
            range.length = std::min(end, windowStart_) - begin;
            const uint64_t at = written_;
            if (saving_.keys.IsProtected())
                range.transform = [this, at](std::span<uint8_t> piece, uint64_t done) {
                    ScrambleFileData(piece, saving_.keys.streamKey, static_cast<unsigned>((at + done) & 15));
                };
            if (!saving_.PutRange(source_, range, index_)) return Fail();
            written_ += range.length;
        }
        if (end <= windowStart_) return true;
        const uint64_t from = std::max(begin, windowStart_) - windowStart_;
        return Append(window_.subspan(static_cast<size_t>(from), static_cast<size_t>(end - windowStart_ - from)));
    }

private:
    bool Fail()
    {
        failed_ = true;
        return false;
    }
    // Scrambled through the copy buffer, when the pack is protected.
    bool Append(std::span<const uint8_t> bytes)
    {
        if (!saving_.keys.IsProtected()) {
            written_ += bytes.size();
            return saving_.out.Put(bytes) || Fail();
        }
        const std::span<uint8_t> stage = saving_.scratch.span();
        while (!bytes.empty()) {
            const size_t n = std::min(bytes.size(), stage.size());
            std::memcpy(stage.data(), bytes.data(), n);
            if (!saving_.out.PutScrambled(stage.first(n), written_)) return Fail();
            written_ += n;
            bytes = bytes.subspan(n);
        }
        return true;
    }

    Saving& saving_;
    size_t index_;
    File& source_;
    uint64_t windowStart_ = 0;
    std::span<const uint8_t> window_;
    uint64_t written_ = 0;  // the stored bytes given to the pack
    bool failed_ = false;
    bool measuring_ = false;
};

}  // namespace

// A large file from disk stored as it is, copied from its source; the length
// it had when it was opened is what is stored, and it must not grow.
bool StreamedFiles::PutAsIs(Saving& saving, size_t index, StoredFile& file)
{
    RangeCopy range;
    range.length = file.fileSize;
    if (saving.keys.IsProtected())
        range.transform = [&saving](std::span<uint8_t> piece, uint64_t at) {
            ScrambleFileData(piece, saving.keys.streamKey, static_cast<unsigned>(at & 15));
        };
    const uint64_t start = saving.out.Position();
    range.progress = [&](uint64_t done) { saving.prompt.ProgressBytes(start + done); };
    if (!saving.PutRange(file.streamed, range, index)) return false;
    if (HasByteAt(file.streamed, file.fileSize))
        return saving.Refuse(Printf(msg::kFileChanged, saving.NameOf(index).c_str()));
    return true;
}

// Encodes a large file as it is read from its source, window by window,
// reading the next window while one is encoded. When the save stores files
// as they are where their encoding is not smaller, an encoding whose first
// window does not shrink is only measured from then on: most such files are
// stored so, and their own bytes go into the pack instead, each window while
// it is in memory.
StreamedFiles::Pass StreamedFiles::EncodeWindows(Saving& saving, size_t index, StoredFile& file, bool mayMeasure)
{
    const uint64_t start = saving.out.Position();
    const auto name = [&] { return saving.NameOf(index); };
    EncodedOutput output(saving, index, file.streamed);
    const std::unique_ptr<IStreamEncoder> encoder = saving.coder.StreamEncoder(saving.catalogue.Entries()[index].scheme, output);
    if (!encoder) return Pass::AsItIs;
    const size_t windowBytes = encoder->WindowBytes();
    for (ByteBuffer& buffer : windows_) {
        if (buffer.size() >= windowBytes) continue;
        std::optional<ByteBuffer> window = ByteBuffer::Allocate(windowBytes);
        if (!window) {
            saving.Refuse(msg::kOutOfMemory);
            return Pass::Failed;
        }
        buffer = std::move(*window);
    }
    const auto windowAt = [&](uint64_t at) {
        return windows_[(at / windowBytes) % 2].span().first(
            static_cast<size_t>(std::min<uint64_t>(windowBytes, file.fileSize - at)));
    };
    struct ReadFault {
        const char* message = nullptr;  // none: the window was read
        std::string detail;
    };
    const auto read = [&file](uint64_t at, std::span<uint8_t> window) {
        if (file.streamed.ReadAt(at, window)) return ReadFault{};
        uint64_t now = 0;
        if (file.streamed.Size(now) && now < at + window.size()) return ReadFault{msg::kFileChanged, {}};
        return ReadFault{msg::kReadFailed, file.streamed.Error()};
    };
    Ahead<ReadFault> reading = RunAhead(read, 0, windowAt(0));
    bool encoding = true;
    for (uint64_t at = 0; encoding && at < file.fileSize;) {
        const std::span<uint8_t> window = windowAt(at);
        const ReadFault fault = reading.Get();
        if (fault.message) {
            saving.Refuse(Printf(fault.message, name().c_str()) + fault.detail);
            return Pass::Failed;
        }
        const uint64_t next = at + window.size();
        if (next < file.fileSize) reading = RunAhead(read, next, windowAt(next));
        output.SetWindow(at, window);
        encoding = encoder->Add(window);
        if (output.Failed()) return Pass::Failed;
        if (at == 0 && mayMeasure && saving.options.fallbackToNone && encoder->Length() >= window.size()) {
            if (!saving.out.DropFrom(start)) return Pass::Failed;
            output.MeasureOnly();
        }
        if (output.Measuring() && !saving.out.PutScrambled(window, at)) return Pass::Failed;
        at = next;
        saving.prompt.ProgressBytes(saving.out.Position());
    }
    reading = {};  // a read not begun is dropped, one under way waited for
    if (saving.options.fallbackToNone && encoder->Length() >= file.fileSize)
        return encoding && output.Measuring() ? Pass::StoredAsIs : Pass::AsItIs;
    if (!encoding) return Pass::AsItIs;
    if (output.Measuring()) return Pass::Again;
    if (!encoder->Finish()) return output.Failed() ? Pass::Failed : Pass::AsItIs;
    return Pass::Encoded;
}

// A large file encoded as it is read. It is stored as it is when its
// encoding would not be smaller (and the save wants that) or the encoder
// gives up on it; what was written of the encoding is then dropped again.
bool StreamedFiles::PutEncoded(Saving& saving, size_t index, StoredFile& file)
{
    const uint64_t start = saving.out.Position();
    Pass pass = EncodeWindows(saving, index, file, true);
    if (pass == Pass::Again) pass = saving.out.DropFrom(start) ? EncodeWindows(saving, index, file, false) : Pass::Failed;
    uint8_t scheme = saving.catalogue.Entries()[index].scheme;
    switch (pass) {
    case Pass::Failed:
    case Pass::Again: return false;
    case Pass::AsItIs:
        return saving.out.DropFrom(start) && saving.StartRecord(index, start, file.fileSize, file.fileSize, 0) &&
               PutAsIs(saving, index, file);
    case Pass::StoredAsIs: scheme = 0; break;
    case Pass::Encoded: break;
    }
    if (HasByteAt(file.streamed, file.fileSize))
        return saving.Refuse(Printf(msg::kFileChanged, saving.NameOf(index).c_str()));
    return saving.StartRecord(index, start, file.fileSize, saving.out.Position() - start, scheme);
}

}  // namespace tarvex
