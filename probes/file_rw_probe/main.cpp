// file_rw_probe: reads a file named by the user through CRQ_File and shows
// its length and text, then writes a typed word to a second file.
#include <array>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <span>
#include <string>

#include "runtime/ConsoleText.h"
#include "runtime/RQ_File.h"

namespace {

bool IsBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one blank-delimited word into buffer as a zero-terminated text. A
// word too long for the buffer is cut at a whole character and the rest of
// it is dropped, so it does not spill into the next answer.
void ReadWord(std::span<char> buffer, bool gbk)
{
    std::string word;
    int c = std::cin.get();
    while (c != EOF && IsBlank(c)) c = std::cin.get();
    for (; c != EOF && !IsBlank(c); c = std::cin.get())
        if (word.size() < buffer.size()) word += static_cast<char>(c);
    if (c != EOF) std::cin.unget();
    const size_t length = tarvex::WholeCharacterPrefix(word, buffer.size() - 1, gbk);
    std::memcpy(buffer.data(), word.data(), length);
    buffer[length] = '\0';
}

}  // namespace

int main()
{
    std::setlocale(LC_ALL, "");
    using tarvex::ToConsole;
    const bool gbk = tarvex::IsGbkCodeset(tarvex::ConsoleCodeset());

    tarvex::CRQ_File file;
    file.EnableErrMSG(true);
    std::array<char, 256> buffer{};

    std::cout << ToConsole("请输入要读取的文件名") << std::flush;
    ReadWord(buffer, gbk);
    file.Open(buffer.data(), true, false, nullptr);
    if (file.Read(nullptr, 0)) {
        const char* data = file.m_pData;
        std::cout << ToConsole("文件") << buffer.data() << ToConsole("的长度是：") << file.GetLength()
                  << ToConsole("字节") << std::endl;
        std::cout << data << std::endl;
    }

    std::cout << ToConsole("请输入要存储的文件名：") << std::flush;
    ReadWord(buffer, gbk);
    file.Open(buffer.data(), false, false, nullptr);
    std::cout << ToConsole("请输入要写入的内容（请不要包含空格）：") << std::flush;
    ReadWord(buffer, gbk);
    file.Write(buffer.data(), static_cast<uint32_t>(std::strlen(buffer.data())));
    std::cout << ToConsole("写入成功！") << std::flush;

    char key;
    std::cin >> key;
    return 0;
}
