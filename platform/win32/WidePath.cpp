#include "platform/win32/WidePath.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "base/win32/WideText.h"

namespace tarvex {
namespace {

constexpr std::wstring_view kLiteral = L"\\\\?\\";
constexpr std::wstring_view kLiteralUnc = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Appends the names of rest to out, one '\' before each, resolving "." and
// ".." by name; ".." never climbs above the root out starts as.
std::wstring Resolved(std::wstring root, std::wstring_view rest)
{
    std::vector<std::wstring_view> names;
    while (!rest.empty()) {
        const size_t end = rest.find(L'\\');
        const std::wstring_view name = rest.substr(0, end);
        rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end + 1);
        if (name.empty() || name == L".") continue;
        if (name == L"..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    for (const std::wstring_view name : names) (root += L'\\') += name;
    if (names.empty()) root += L'\\';
    return root;
}

std::wstring CurrentFolder()
{
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
        if (n == 0) return {};
        if (n < folder.size()) {
            folder.resize(n);
            return folder;
        }
        folder.resize(n);
    }
}

// An absolute path ("X:\..." or "\\server\share\...") in literal form.
std::optional<std::wstring> Literal(const std::wstring& path)
{
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // "\\server\share" is the root of a network path.
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return std::nullopt;
        size_t share = path.find(L'\\', server + 1);
        if (share == std::wstring::npos) share = path.size();
        return Resolved(std::wstring(kLiteralUnc) + path.substr(2, share - 2), std::wstring_view(path).substr(share));
    }
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\')
        return Resolved(std::wstring(kLiteral) + path.substr(0, 2), std::wstring_view(path).substr(3));
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> WidePath(std::string_view utf8)
{
    std::optional<std::wstring> path = WideFromUtf8(utf8);
    if (!path || path->empty()) return std::nullopt;
    if (path->starts_with(kLiteral) || path->starts_with(kDevice)) return path;
    for (wchar_t& c : *path)
        if (c == L'/') c = L'\\';
    if (std::optional<std::wstring> absolute = Literal(*path)) return absolute;
    std::wstring current = CurrentFolder();
    if (current.empty()) return std::nullopt;
    if ((*path)[0] == L'\\') {
        // From the root of the current folder's drive (or share).
        const std::optional<std::wstring> root = Literal(current);
        if (!root) return std::nullopt;
        const size_t end = root->starts_with(kLiteralUnc) ? root->find(L'\\', root->find(L'\\', kLiteralUnc.size()) + 1)
                                                          : kLiteral.size() + 2;
        return Resolved(root->substr(0, end), *path);
    }
    if (path->size() >= 2 && IsDriveLetter((*path)[0]) && (*path)[1] == L':') {
        // "X:name": relative to the current folder of drive X.
        std::wstring full(MAX_PATH, L'\0');
        const DWORD n = ::GetFullPathNameW(path->c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0 || n >= full.size()) return std::nullopt;
        full.resize(n);
        return Literal(full);
    }
    return Literal(current + L'\\' + *path);
}

std::wstring PlainWidePath(const std::wstring& wide)
{
    if (wide.starts_with(kLiteralUnc)) return L"\\\\" + wide.substr(kLiteralUnc.size());
    if (wide.starts_with(kLiteral) && wide.size() < MAX_PATH + kLiteral.size()) return wide.substr(kLiteral.size());
    return wide;
}

bool IsDevicePath(const std::wstring& wide, bool& pipe)
{
    pipe = false;
    if (!wide.starts_with(kDevice)) return false;
    std::wstring name = wide.substr(kDevice.size(), 5);
    for (wchar_t& c : name) c = static_cast<wchar_t>(::towupper(c));
    pipe = name == L"PIPE\\";
    return true;
}

}  // namespace tarvex
