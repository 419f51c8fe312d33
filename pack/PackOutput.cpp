#include "pack/PackOutput.h"

#include <vector>

#include "talk/Messages.h"

namespace tarvex {

bool PackOutput::Open(const std::string& target)
{
    if (out_.Open(target)) return true;
    prompt_.Tell(Printf(msg::kWriteFailed, target.c_str(), out_.Error().c_str()), MsgIcon::Error);
    return false;
}

bool PackOutput::OpenStandardOutput(const std::string& shown)
{
    if (out_.OpenStandardOutput(shown)) return true;
    prompt_.Tell(Printf(msg::kStreamWriteFailed, shown.c_str(), out_.Error().c_str()), MsgIcon::Error);
    return false;
}

std::string PackOutput::FailureText(const std::string& error) const
{
    return Printf(Streams() ? msg::kStreamWriteFailed : msg::kWriteFailed, out_.TargetPath().c_str(), error.c_str());
}

bool PackOutput::Fail(const std::string& error)
{
    failed_ = true;
    prompt_.Tell(FailureText(error), MsgIcon::Error);
    return false;
}

bool PackOutput::Put(std::span<const uint8_t> bytes)
{
    if (failed_) return false;
    return out_.Write(bytes) || Fail(out_.Error());
}

bool PackOutput::PutDword(uint32_t plain)
{
    const uint32_t scrambled = scr_.Dword(plain);
    // A reader restarts its position on a stored value of all ones, so a
    // scrambled value that comes out as all ones could never be read back.
    if (plain != 0xFFFFFFFFu && scrambled == 0xFFFFFFFFu) {
        failed_ = true;
        prompt_.Tell(msg::kPasswordUnusableHere, MsgIcon::Error);
        return false;
    }
    const uint8_t b[4] = {static_cast<uint8_t>(scrambled), static_cast<uint8_t>(scrambled >> 8),
                          static_cast<uint8_t>(scrambled >> 16), static_cast<uint8_t>(scrambled >> 24)};
    return Put(b);
}

bool PackOutput::PutName(const std::string& name)
{
    std::vector<uint8_t> bytes(name.begin(), name.end());
    const uint8_t length = scr_.Byte(static_cast<uint8_t>(bytes.size()));
    scr_.Name(bytes);
    return PutU8(length) && Put(bytes);
}

bool PackOutput::PutCheckBlock(unsigned length)
{
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = scr_.NextCheckByte();
    return Put(bytes);
}

bool PackOutput::PutScrambled(std::span<uint8_t> stored, uint64_t at)
{
    if (keys_.IsProtected()) ScrambleFileData(stored, keys_.streamKey, static_cast<unsigned>(at & 15));
    return Put(stored);
}

CopyStatus PackOutput::PutRange(File& from, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error)
{
    CopyStatus status = CopyStatus::Ok;
    const bool ok = out_.Fill([&](File& file) {
        status = CopyRange(from, file, range, scratch, error);
        return status == CopyStatus::Ok;
    }, range.length);
    if (ok) return CopyStatus::Ok;
    failed_ = true;
    if (status == CopyStatus::Ok) {
        // The copy went through; what failed was writing out what came before it.
        status = CopyStatus::WriteFailed;
        error = out_.Error();
    }
    return status;
}

bool PackOutput::DropFrom(uint64_t start)
{
    return out_.TruncateTo(start) || Fail(out_.Error());
}

}  // namespace tarvex
