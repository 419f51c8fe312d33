#include "base/SystemErrorText.h"

#include <cerrno>

#include "base/Printf.h"

namespace tarvex {
namespace {

constexpr const char* kIsAFolder = "是一个文件夹";

struct KnownError {
    int errnum;
    const char* text;
};

constexpr KnownError kKnownErrors[] = {
    {ENOENT, "没有这个文件或文件夹"},
    {EACCES, "权限不够"},
    {EPERM, "权限不够"},
    {ENOSPC, "磁盘空间不足"},
#ifdef EDQUOT
    {EDQUOT, "超出了磁盘配额"},
#endif
    {EFBIG, "文件太大"},
    {EROFS, "只读文件系统"},
    {EISDIR, kIsAFolder},
    {ENOTDIR, "不是文件夹"},
    {ENAMETOOLONG, "名字太长"},
    {EEXIST, "文件已存在"},
    {EMFILE, "打开的文件太多"},
    {ENFILE, "打开的文件太多"},
    {EIO, "输入/输出错误"},
    {ENOMEM, "内存不足"},
};

}  // namespace

std::string SystemErrorText(int errnum)
{
    for (const KnownError& known : kKnownErrors)
        if (known.errnum == errnum) return known.text;
    return Printf("系统错误 %d", errnum);
}

const char* NotRegularFileText(FileKind kind)
{
    switch (kind) {
        case FileKind::Regular:
            return nullptr;
        case FileKind::Folder:
            return kIsAFolder;
        case FileKind::Pipe:
            return "是一个命名管道，不是普通文件";
        case FileKind::Device:
            return "是一个设备，不是普通文件";
        case FileKind::Socket:
            return "是一个套接字，不是普通文件";
        case FileKind::Other:
            break;
    }
    return "不是普通文件";
}

}  // namespace tarvex
