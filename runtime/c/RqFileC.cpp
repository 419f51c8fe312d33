// The C interface of RQ_File (rq_file.h): each function calls the CRQ_File
// method of the same name; nothing thrown inside leaves through it.
#include <memory>

#include "runtime/RQ_File.h"
#include "runtime/c/rq_file.h"

struct rq_file {
    tarvex::CRQ_File reader;
};

namespace {

// Runs call on the reader, giving fallback for a NULL reader or anything the
// call throws (memory running out).
template <typename Result, typename Call>
Result Guarded(rq_file* file, Result fallback, Call call)
{
    if (!file) return fallback;
    try {
        return call(file->reader);
    } catch (...) {
        return fallback;
    }
}

}  // namespace

extern "C" {

RQ_FILE_API rq_file* RQ_FILE_CALL rq_file_create(void)
{
    try {
        return std::make_unique<rq_file>().release();
    } catch (...) {
        return nullptr;
    }
}

RQ_FILE_API void RQ_FILE_CALL rq_file_destroy(rq_file* file)
{
    const std::unique_ptr<rq_file> owned(file);
}

RQ_FILE_API void RQ_FILE_CALL rq_file_enable_messages(rq_file* file, int enable)
{
    if (file) file->reader.EnableErrMSG(enable != 0);
}

RQ_FILE_API void RQ_FILE_CALL rq_file_enable_ext(rq_file* file, int enable)
{
    if (file) file->reader.EnableExt(enable != 0);
}

RQ_FILE_API void RQ_FILE_CALL rq_file_set_ext(rq_file* file, const char* folder)
{
    Guarded(file, 0, [&](tarvex::CRQ_File& reader) {
        reader.SetExt(folder);
        return 0;
    });
}

RQ_FILE_API int RQ_FILE_CALL rq_file_open(rq_file* file, const char* name, int for_reading, int is_pack,
                                          const char* password)
{
    return Guarded(file, 0, [&](tarvex::CRQ_File& reader) {
        return reader.Open(name, for_reading != 0, is_pack != 0, password) ? 1 : 0;
    });
}

RQ_FILE_API int RQ_FILE_CALL rq_file_locate(rq_file* file, const char* path, const char* folder)
{
    return Guarded(file, 0, [&](tarvex::CRQ_File& reader) { return reader.Locate(path, folder) ? 1 : 0; });
}

RQ_FILE_API uint32_t RQ_FILE_CALL rq_file_length(const rq_file* file)
{
    return file ? file->reader.GetLength() : 0;
}

RQ_FILE_API int RQ_FILE_CALL rq_file_read(rq_file* file, void* buffer, uint32_t count)
{
    return Guarded(file, 0, [&](tarvex::CRQ_File& reader) {
        uint8_t* destination = static_cast<uint8_t*>(buffer);
        return reader.Read(buffer ? &destination : nullptr, count) ? 1 : 0;
    });
}

RQ_FILE_API const char* RQ_FILE_CALL rq_file_data(const rq_file* file)
{
    return file ? file->reader.m_pData : "";
}

RQ_FILE_API int RQ_FILE_CALL rq_file_write(rq_file* file, const void* data, uint32_t count)
{
    return Guarded(file, 0, [&](tarvex::CRQ_File& reader) { return reader.Write(data, count) ? 1 : 0; });
}

}  // extern "C"
