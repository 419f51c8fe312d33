#include "platform/FileMapping.h"

#include <windows.h>

#include "platform/win32/WindowsErrors.h"

namespace tarvex {

WritableMapping::~WritableMapping()
{
    Unmap();
}

WritableMapping::Status WritableMapping::Map(File& file, uint64_t size, std::string& error)
{
    Unmap();
    const HANDLE handle = static_cast<HANDLE>(file.Native());
    // Setting the end reserves the file's clusters: a full disk fails here.
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
        error = LastErrorText();
        return Status::Failed;
    }
    // Written another way from the start, should the mapping fail.
    ::SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_BEGIN);
    const HANDLE section = ::CreateFileMappingW(handle, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                                static_cast<DWORD>(size), nullptr);
    if (!section) return Status::Unsupported;
    void* data = ::MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(size));
    // The view keeps the section for as long as it is mapped.
    ::CloseHandle(section);
    if (!data) return Status::Unsupported;
    data_ = static_cast<uint8_t*>(data);
    size_ = static_cast<size_t>(size);
    return Status::Ok;
}

void WritableMapping::Unmap()
{
    if (data_) ::UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tarvex
