#pragma once
// A heap block of bytes that is not cleared on allocation (an output buffer
// sized for the worst case only costs the pages actually written) and whose
// allocation failure is a result, not an exception.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>

namespace tarvex {

class ByteBuffer {
public:
    ByteBuffer() = default;

    static std::optional<ByteBuffer> Allocate(size_t size)
    {
        ByteBuffer buffer;
        buffer.data_.reset(static_cast<uint8_t*>(std::malloc(size ? size : 1)));
        if (!buffer.data_) return std::nullopt;
        buffer.size_ = size;
        return buffer;
    }

    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    std::span<uint8_t> span() { return {data_.get(), size_}; }
    std::span<const uint8_t> span() const { return {data_.get(), size_}; }
    // Keeps the first `size` bytes (never grows).
    void Shrink(size_t size)
    {
        if (size < size_) size_ = size;
    }
    // Grows or shrinks the block, keeping its bytes; false (and unchanged)
    // when there is no memory.
    bool Resize(size_t size)
    {
        if (size <= size_) {
            size_ = size;
            return true;
        }
        auto* grown = static_cast<uint8_t*>(std::realloc(data_.get(), size));
        if (!grown) return false;
        data_.release();
        data_.reset(grown);
        size_ = size;
        return true;
    }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
};

}  // namespace tarvex
