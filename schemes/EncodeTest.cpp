#include "schemes/EncodeTest.h"

#include "base/GbkText.h"
#include "platform/FileIo.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"

namespace tarvex {

std::string EncodeTestText(const Catalogue& catalogue, size_t index)
{
    const FileEntry& entry = catalogue.Entries()[index];
    return Printf(msg::kEncodeTesting, GbkToUtf8Lossy(entry.name).c_str(),
                  SchemeName(entry.scheme, catalogue.Plugins()).c_str());
}

EncodeTester::EncodeTester(Catalogue& catalogue, const CPackArchive& archive, IPrompt& prompt, PluginHost plugins)
    : catalogue_(catalogue),
      archive_(archive),
      prompt_(prompt),
      dispatch_(catalogue, prompt, plugins),
      extractor_(archive, prompt, std::move(plugins))
{
}

bool EncodeTester::ReadBytes(size_t index, ByteBuffer& bytes)
{
    const FileEntry& entry = catalogue_.Entries()[index];
    if (extractor_.HasStoredBytes(index)) {
        if (!packOpen_) packOpen_ = extractor_.Open();
        return *packOpen_ && extractor_.Decode(index, bytes);
    }
    // The file's recorded size is read: a file that has shrunk since it was
    // added cannot be read whole.
    File file;
    std::optional<ByteBuffer> buffer;
    if (!file.OpenRead(entry.sourcePath) || !(buffer = ByteBuffer::Allocate(entry.fileSize)) ||
        !file.ReadAll(buffer->span())) {
        prompt_.Tell(Printf(msg::kReadFailed, GbkToUtf8Lossy(entry.name).c_str()), MsgIcon::Error);
        return false;
    }
    bytes = std::move(*buffer);
    return true;
}

EncodeTestOutcome EncodeTester::TestEncodeEntry(size_t index)
{
    if (index >= catalogue_.Entries().size()) return EncodeTestOutcome::Failed;
    ByteBuffer input;
    if (!ReadBytes(index, input)) return EncodeTestOutcome::Failed;
    FileEntry& entry = catalogue_.Entries()[index];
    const auto n = static_cast<uint32_t>(input.size());
    // An empty file has no scheme to advise against.
    if (n == 0) {
        entry.encodedSize = 0;
        return EncodeTestOutcome::Measured;
    }
    std::optional<ByteBuffer> output = ByteBuffer::Allocate(dispatch_.GetMemNeeded(n, entry.scheme));
    if (!output) {
        prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
        return EncodeTestOutcome::Failed;
    }
    uint32_t encoded = entry.encodedSize;
    std::string fault;
    const EncodeStatus status =
        dispatch_.Encode(input.span(), output->span(), encoded, entry.scheme, entry.name, fault);
    // A module that could not be loaded or broke is reported: that is no
    // reason to advise against its scheme.
    if (status == EncodeStatus::Broke) prompt_.Tell(fault, MsgIcon::Error);
    if (status == EncodeStatus::Failed || status == EncodeStatus::Broke) return EncodeTestOutcome::Failed;
    entry.encodedSize = encoded;
    // Whatever an encoder module encodes is measured, smaller or not; the
    // advice follows when an encoder declines the input (RLE and LZ decline
    // what they would not make smaller).
    if (status == EncodeStatus::Encoded) return EncodeTestOutcome::Measured;

    const std::string question = Printf(msg::kEncodeAdvice, GbkToUtf8Lossy(entry.name).c_str());
    if (prompt_.Message(question, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return EncodeTestOutcome::Kept;
    entry.scheme = kSchemeNone;
    entry.encodedSize = entry.fileSize;
    return EncodeTestOutcome::Advised;
}

}  // namespace tarvex
