#include "editor/IconForExtension.h"

#include <array>
#include <string>

namespace tarvex {
namespace {

struct Kind {
    std::string_view extension;
    int image;
};

constexpr std::array<Kind, 41> kKinds = {{
    {"txt", 2},  {"wav", 3},  {"mp3", 3}, {"au", 3},   {"snd", 3},  {"aif", 3},  {"bmp", 4}, {"dib", 4},  {"jpg", 4},
    {"gif", 4},  {"tga", 4},  {"pcx", 4}, {"tif", 4},  {"tiff", 4}, {"png", 4},  {"zip", 5}, {"rar", 5},  {"cab", 5},
    {"ace", 5},  {"ini", 6},  {"cfg", 6}, {"dll", 7},  {"sys", 7},  {"drv", 7},  {"htm", 8}, {"html", 8}, {"avi", 9},
    {"mpg", 9},  {"rm", 9},   {"mov", 9}, {"exe", 10}, {"com", 10}, {"swf", 11}, {"h", 12},  {"hpp", 12}, {"c", 13},
    {"cpp", 13}, {"max", 14}, {"x", 15},  {"doc", 16}, {"rtf", 16},
}};

// Lower case for the single-byte letters only; the trail byte of a GBK
// double-byte character may look like a letter and is left alone.
std::string GbkLower(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace

int IconForExtension(std::string_view gbkName)
{
    // The first "." outside a double-byte character.
    size_t dot = std::string_view::npos;
    for (size_t i = 0; i < gbkName.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbkName[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c == '.') {
            dot = i;
            break;
        }
    }
    const std::string extension = GbkLower(dot == std::string_view::npos ? gbkName : gbkName.substr(dot + 1));
    for (const Kind& kind : kKinds)
        if (kind.extension == extension) return kind.image;
    return 1;
}

}  // namespace tarvex
