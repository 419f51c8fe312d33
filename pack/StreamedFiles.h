#pragma once
// Large files that go from their sources into the pack without being held
// whole: one stored as it is is copied over (in the kernel where it can); one
// whose scheme can stream is encoded as it is read, window by window.
#include <array>

#include "base/ByteBuffer.h"
#include "pack/FileProduction.h"
#include "pack/Saving.h"

namespace tarvex {

class StreamedFiles {
public:
    // A large file from disk stored as it is, copied from its source; the
    // length it had when it was opened is what is stored, and it must not
    // grow. Its record is started by the caller.
    bool PutAsIs(Saving& saving, size_t index, StoredFile& file);
    // A large file encoded as it is read, its record started here. It is
    // stored as it is when its encoding would not be smaller (and the save
    // wants that) or the encoder gives up on it; what was written of the
    // encoding is then dropped again.
    bool PutEncoded(Saving& saving, size_t index, StoredFile& file);

private:
    enum class Pass {
        Encoded,     // the encoding is in the pack
        StoredAsIs,  // the file's own bytes are in the pack, as it is to be stored
        AsItIs,      // the file is to be stored as it is
        Again,       // the encoding was only measured, and is to be kept: encode it again
        Failed,      // reported
    };
    Pass EncodeWindows(Saving& saving, size_t index, StoredFile& file, bool mayMeasure);

    // One window is encoded while the next is read.
    std::array<ByteBuffer, 2> windows_;
};

}  // namespace tarvex
