#include "base/GbkConversion.h"

#include <cerrno>
#include <iconv.h>

namespace tarvex {
namespace {

// An iconv descriptor per thread and direction: descriptors are not
// thread-safe, and opening one per call would dominate on large packs.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Convert(std::string_view in, std::string& out, size_t& consumed)
    {
        out.clear();
        consumed = 0;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char chunk[1024];
        while (srcLeft > 0) {
            char* dst = chunk;
            size_t dstLeft = sizeof chunk;
            size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(chunk, dst - chunk);
            consumed = in.size() - srcLeft;
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) return false;
        }
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
        out.append(chunk, dst - chunk);
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

bool ConvertText(TextDirection direction, std::string_view in, std::string& out, size_t& consumed)
{
    if (direction == TextDirection::Utf8ToGbk) {
        thread_local Converter toGbk("GBK", "UTF-8");
        return toGbk.Convert(in, out, consumed);
    }
    thread_local Converter fromGbk("UTF-8", "GBK");
    return fromGbk.Convert(in, out, consumed);
}

}  // namespace tarvex
