// Prints one file of a pack: game PACK PATH [PASSWORD]
#include <RQ_File.h>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fputs("用法：game 文件包 包内路径 [密码]\n", stderr);
        return 2;
    }
    std::setlocale(LC_ALL, "");  // messages in the console's character set

    tarvex::CRQ_File file;
    file.EnableErrMSG(true);  // failures are also told on stderr
    if (!file.Open(argv[1], true, true, argc == 4 ? argv[3] : nullptr)) return 1;
    if (!file.Locate(argv[2], nullptr) || !file.Read(nullptr, 0)) return 1;
    std::fwrite(file.m_pData, 1, file.GetLength(), stdout);
    return 0;
}
