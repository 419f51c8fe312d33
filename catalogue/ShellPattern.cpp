#include "catalogue/ShellPattern.h"

#include <cctype>
#include <cstdint>

namespace tarvex {
namespace {

// The character at the start of s and its length in bytes.
char32_t Next(std::string_view s, size_t& length)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > s.size()) length = 1;
    if (length == 1) return lead;
    char32_t c = lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) {
        const auto trail = static_cast<unsigned char>(s[i]);
        if ((trail & 0xC0) != 0x80) {
            length = 1;
            return lead;
        }
        c = (c << 6) | (trail & 0x3F);
    }
    return c;
}

bool InClass(std::string_view name, char32_t c)
{
    if (c >= 0x80) return false;
    const int ascii = static_cast<int>(c);
    if (name == "alpha") return std::isalpha(ascii);
    if (name == "digit") return std::isdigit(ascii);
    if (name == "alnum") return std::isalnum(ascii);
    if (name == "upper") return std::isupper(ascii);
    if (name == "lower") return std::islower(ascii);
    if (name == "space") return std::isspace(ascii);
    if (name == "blank") return c == ' ' || c == '\t';
    if (name == "punct") return std::ispunct(ascii);
    if (name == "xdigit") return std::isxdigit(ascii);
    if (name == "cntrl") return std::iscntrl(ascii);
    if (name == "print") return std::isprint(ascii);
    if (name == "graph") return std::isgraph(ascii);
    return false;
}

// Matches c against the set that starts after the '[' at pattern[0].
// Returns the length of the whole "[...]", or 0 when the set is not closed
// (the '[' is then an ordinary character).
size_t MatchSet(std::string_view pattern, char32_t c, bool& matched)
{
    size_t at = 1;
    const bool negated = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
    if (negated) ++at;
    bool found = false;
    bool first = true;
    while (at < pattern.size()) {
        if (pattern[at] == ']' && !first) {
            matched = found != negated;
            return at + 1;
        }
        first = false;
        if (pattern.substr(at).starts_with("[:")) {
            const size_t end = pattern.find(":]", at + 2);
            if (end != std::string_view::npos) {
                found = found || InClass(pattern.substr(at + 2, end - at - 2), c);
                at = end + 2;
                continue;
            }
        }
        if (pattern[at] == '\\' && at + 1 < pattern.size()) ++at;
        size_t length = 0;
        const char32_t low = Next(pattern.substr(at), length);
        at += length;
        char32_t high = low;
        if (at + 1 < pattern.size() && pattern[at] == '-' && pattern[at + 1] != ']') {
            ++at;
            if (pattern[at] == '\\' && at + 1 < pattern.size()) ++at;
            high = Next(pattern.substr(at), length);
            at += length;
        }
        found = found || (low <= c && c <= high);
    }
    return 0;
}

// Matches one pattern element at the start of pattern against the character
// at the start of text; step gives the element's length.
bool MatchOne(std::string_view pattern, std::string_view text, size_t& step, size_t& textStep)
{
    const char32_t c = Next(text, textStep);
    if (pattern[0] == '?') {
        step = 1;
        return true;
    }
    if (pattern[0] == '[') {
        bool matched = false;
        if ((step = MatchSet(pattern, c, matched)) != 0) return matched;
    }
    const size_t at = pattern[0] == '\\' && pattern.size() > 1 ? 1 : 0;
    size_t length = 0;
    Next(pattern.substr(at), length);
    step = at + length;
    return text.substr(0, textStep) == pattern.substr(at, length);
}

}  // namespace

bool MatchesShellPattern(std::string_view pattern, std::string_view text)
{
    // The last '*' seen, and where in text its run would end next.
    size_t starPattern = std::string_view::npos;
    size_t starText = 0;
    size_t p = 0;
    size_t t = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starText = t;
            continue;
        }
        size_t step = 0;
        size_t textStep = 0;
        if (p < pattern.size() && MatchOne(pattern.substr(p), text.substr(t), step, textStep)) {
            p += step;
            t += textStep;
            continue;
        }
        if (starPattern == std::string_view::npos) return false;
        // The '*' takes one character more.
        size_t length = 0;
        Next(text.substr(starText), length);
        starText += length;
        p = starPattern;
        t = starText;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace tarvex
