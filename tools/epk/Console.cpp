#include "tools/epk/Console.h"

#include <cstdio>
#include <sys/stat.h>

namespace tarvex::epk {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintErr(const std::string& text)
{
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

bool IsFolderOrSay(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    PrintErr(path + "不是一个文件夹。\n");
    return false;
}

}  // namespace tarvex::epk
