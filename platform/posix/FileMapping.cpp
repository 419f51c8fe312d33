#include "platform/FileMapping.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>

#include "base/SystemErrorText.h"

namespace tarvex {

WritableMapping::~WritableMapping()
{
    Unmap();
}

WritableMapping::Status WritableMapping::Map(File& file, uint64_t size, std::string& error)
{
    Unmap();
    // fallocate(2) itself, not posix_fallocate, which would write zeros
    // where the file system cannot reserve.
    int rc;
    do {
        rc = ::fallocate(file.Native(), 0, 0, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) return Status::Unsupported;
        error = SystemErrorText(errno);
        return Status::Failed;
    }
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.Native(), 0);
    if (data == MAP_FAILED) {
        if (errno == ENODEV || errno == EACCES) return Status::Unsupported;
        error = SystemErrorText(errno);
        return Status::Failed;
    }
    data_ = static_cast<uint8_t*>(data);
    size_ = static_cast<size_t>(size);
    return Status::Ok;
}

void WritableMapping::Unmap()
{
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tarvex
