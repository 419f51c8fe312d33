#include "runtime/RuntimePack.h"

#include <cerrno>

#include "base/SystemErrorText.h"
#include "platform/FileIo.h"
#include "runtime/DiskFile.h"
#include "schemes/SchemeId.h"
#include "talk/DeferredPrompt.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

// Answers the password question with one reading of the caller's password
// and keeps what the reading of the pack says, so that the refusal of a
// wrong reading can be dropped when another one is tried.
class PasswordTry final : public IPrompt {
public:
    explicit PasswordTry(const PasswordBlocks& blocks) : blocks_(blocks) {}

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override
    {
        return said_.Message(text, icon, buttons);
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override
    {
        if (mode != PasswordMode::Enter) return std::nullopt;
        return blocks_;
    }
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}
    bool ShowsProgressText() const override { return false; }

    std::vector<DeferredMessage> Said() { return said_.Take(); }

private:
    PasswordBlocks blocks_;
    DeferredPrompt said_;
};

}  // namespace

bool RuntimePack::Open(const std::string& path, const std::vector<PasswordBlocks>& passwordReadings)
{
    // A pipe or a device would be waited on, not read.
    if (const char* reason = NotARegularFile(path)) {
        prompt_.Tell(Printf(msg::kCannotOpenFile, path.c_str(), reason), MsgIcon::Error);
        return false;
    }
    if (!Load(path, passwordReadings)) return false;
    index_ = PackIndex(catalogue_);
    extractor_.emplace(archive_, prompt_);
    // The extractor keeps the pack open for the reads of its files.
    if (!extractor_->Open()) return false;
    length_ = archive_.HeldFile()->Length();
    return true;
}

bool RuntimePack::Load(const std::string& path, const std::vector<PasswordBlocks>& passwordReadings)
{
    if (passwordReadings.empty()) return archive_.Load(path, prompt_);
    for (size_t i = 0; i < passwordReadings.size(); ++i) {
        PasswordTry reading(passwordReadings[i]);
        const bool loaded = archive_.Load(path, reading);
        const std::vector<DeferredMessage> said = reading.Said();
        const bool wrong = !loaded && !said.empty() && said.back().text == msg::kWrongPassword;
        if (wrong && i + 1 < passwordReadings.size()) continue;
        ShowMessages(said, prompt_);
        return loaded;
    }
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
