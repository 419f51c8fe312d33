#include <gtest/gtest.h>

#include "catalogue/ShellPattern.h"

namespace tarvex {
namespace {

// The answers are those of the C library's fnmatch (no flags) in a UTF-8
// locale, which --exclude followed before it matched the same on every
// system.
TEST(ShellPattern, MatchesAsFnmatchDoesInAUtf8Locale)
{
    const struct {
        const char* pattern;
        const char* text;
        bool matches;
    } cases[] = {
        {"*.tmp", "a.tmp", true},
        {"*.tmp", "a/b.tmp", true},
        {"*.tmp", "a.tmpx", false},
        {"?.txt", "字.txt", true},
        {"??.txt", "字.txt", false},
        {"a?c", "a/c", true},
        {"?", "", false},
        {"*", "", true},
        {"*a", "bbba", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},
        {"*/.git", "a/b/.git", true},
        {"新/*.tmp", "新/x/y.tmp", true},
        {".git", ".git", true},
        {"[a-c]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[!a-c]x", "dx", true},
        {"[^a]x", "ax", false},
        {"[]]", "]", true},
        {"[!]]", "a", true},
        {"[a\\]]", "]", true},
        {"[一-龥]", "字", true},
        {"[字-子]", "字", false},
        {"[", "[", true},
        {"a[", "a[", true},
        {"[[:digit:]]*", "7z", true},
        {"[[:digit:]]*", "z7", false},
        {"\\*", "*", true},
        {"\\*", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesShellPattern(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
}

}  // namespace
}  // namespace tarvex
