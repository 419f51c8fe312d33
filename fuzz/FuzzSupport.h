#pragma once
// What the fuzz targets share: fuzzed bytes as a file the reader can open,
// prompts that answer without a user, and the seed inputs of each target.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "talk/Prompt.h"

namespace tarvex::fuzz {

// An anonymous in-memory file holding the bytes, opened by path.
class MemoryFile {
public:
    explicit MemoryFile(std::span<const uint8_t> bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// A fresh folder in the temporary folder ($TMPDIR, else /tmp), removed with
// everything in it as soon as it goes: a target keeps no folder across
// inputs, so none is left however the fuzzer ends between them.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Removes a file, or a folder with everything in it.
void RemoveTree(const std::string& path);

// Says nothing; gives the password "fuzz" (or none) when asked.
class FuzzPrompt final : public IPrompt {
public:
    explicit FuzzPrompt(bool withPassword) : withPassword_(withPassword) {}
    MsgAnswer Message(std::string_view, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode) override;
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}

private:
    bool withPassword_;
};

inline constexpr const char* kFuzzPassword = "fuzz";

// The seed inputs of a target (made by code: packs written by the core,
// streams made by the encoders).
std::vector<std::vector<uint8_t>> MakeSeeds(const std::string& target);

// The names of the targets.
const std::vector<std::string>& TargetNames();

}  // namespace tarvex::fuzz
