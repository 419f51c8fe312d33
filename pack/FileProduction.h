#pragma once
// Files made ready for the pack on the workers: read from their sources (or
// decoded from the old pack when their scheme changed), encoded by their
// scheme and scrambled, each in a place of its own so that they are made on
// several threads at once and told about in entry order.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "pack/Saving.h"
#include "pack/StoredData.h"
#include "platform/FileIo.h"
#include "talk/DeferredPrompt.h"

namespace tarvex {

// One file's bytes as they go into the data area, scrambled.
struct StoredFile {
    ByteBuffer plain;    // the file's bytes
    ByteBuffer encoded;  // the encoder's output, when one ran
    std::span<uint8_t> stored;
    uint32_t fileSize = 0;
    uint8_t scheme = 0;
    File streamed;  // open when the file is copied to the pack from its source instead
    std::string encodeFault;  // why its encoder broke, when it is stored unencoded for that
};

// Where one file is produced: the prompt its failures go to, the coder, and
// readers of the old pack and of source folders of its own (reads happen on
// several threads).
struct ProductionPlace {
    ProductionPlace(IPrompt& p, ISchemeCoder& c) : prompt(p), coder(c) {}
    virtual ~ProductionPlace() = default;
    bool Refuse(const std::string& text)
    {
        prompt.Tell(text, MsgIcon::Error);
        return false;
    }
    // The messages kept for the writing thread to show.
    virtual std::vector<DeferredMessage> TakeMessages() { return {}; }
    IPrompt& prompt;
    ISchemeCoder& coder;
    PackDataFile oldPack;
    FolderOpener sources;
};

struct WorkerParts {
    explicit WorkerParts(const ISchemeCoder& coder) : reportingCoder(coder.ReportingTo(deferred)) {}
    DeferredPrompt deferred;
    std::unique_ptr<ISchemeCoder> reportingCoder;
};

// A worker thread's place: its messages wait until the file's turn comes.
struct WorkerPlace : WorkerParts, ProductionPlace {
    explicit WorkerPlace(const ISchemeCoder& coder) : WorkerParts(coder), ProductionPlace(deferred, *reportingCoder) {}
    std::vector<DeferredMessage> TakeMessages() override { return deferred.Take(); }
};

// What a job hands back to the writing thread.
struct ProducedFile {
    bool ok = false;
    StoredFile file;
    std::vector<DeferredMessage> messages;
};

// Makes entry `index` ready: its stored bytes scrambled, or its source held
// open when it goes into the pack streamed. Reads only what the save shares.
ProducedFile Produce(const Saving& saving, size_t index, ProductionPlace& place);

// Opens the place's own descriptor of the old pack, the very file that was
// read. Reports a failure.
bool OpenOldPack(const Saving& saving, ProductionPlace& place, size_t index);

}  // namespace tarvex
