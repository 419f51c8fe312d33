// pack_lookup_probe: reads two files of test.epk through CRQ_File three
// times: with external lookup off, on with the default external path, and
// on with the external path "ext".
#include <clocale>
#include <cstdint>
#include <iostream>
#include <vector>

#include "runtime/ConsoleText.h"
#include "runtime/RQ_File.h"

namespace {

using tarvex::ToConsole;

// Locates path, reads it into a buffer of its length plus a zero byte and
// shows its length and text.
void ShowFile(tarvex::CRQ_File& file, const char* path)
{
    file.Locate(path, nullptr);
    const uint32_t length = file.GetLength();
    std::vector<uint8_t> bytes(size_t{length} + 1, 0);
    uint8_t* buffer = bytes.data();
    file.Read(&buffer, 0);
    std::cout << ToConsole("文件") << path << ToConsole("的长度是：") << length << ToConsole("字节") << std::endl;
    std::cout << reinterpret_cast<const char*>(buffer) << std::endl;
}

}  // namespace

int main()
{
    std::setlocale(LC_ALL, "");
    tarvex::CRQ_File file;
    file.EnableErrMSG(true);

    for (int pass = 1; pass <= 3; ++pass) {
        if (pass == 1) {
            std::cout << ToConsole("1.禁用外部检索...读取文件") << std::endl;
        } else if (pass == 2) {
            std::cout << ToConsole("2.启用外部检索...使用默认外部路径...读取文件") << std::endl;
            file.EnableExt(true);
        } else {
            std::cout << ToConsole("3.启用外部检索...使用外部路径\"ext\"...读取文件") << std::endl;
            file.EnableExt(true);
            file.SetExt("ext");
        }
        if (!file.Open("test.epk", true, true, nullptr)) return 0;
        std::cout << ToConsole("读取hello.txt...") << std::endl;
        ShowFile(file, "test.txt");
        ShowFile(file, "info\\info.txt");
    }

    char key;
    std::cin >> key;
    return 0;
}
