#include "catalogue/CatalogueEdits.h"

#include <set>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "catalogue/NamePattern.h"
#include "platform/FileIo.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

EditResult RefuseExisting(const std::string& gbkName, IPrompt& prompt)
{
    prompt.Tell(Printf(msg::kFileExists, GbkToUtf8Lossy(gbkName).c_str()), MsgIcon::Error);
    return EditResult::Refused;
}

bool ChildNamed(const Folder& target, const std::string& name)
{
    return !target.children.empty() && HasSiblingNamed(target.children.front().get(), name, true);
}

// The checks shared by moving and copying a folder.
bool MayTransferFolder(const Catalogue& catalogue, const Folder& target, const Folder& source,
                       const char* intoItself, const char* nameTaken, IPrompt& prompt)
{
    if (catalogue.IsSameOrBelow(target, source)) {
        prompt.Tell(intoItself, MsgIcon::Error);
        return false;
    }
    if (ChildNamed(target, source.name)) {
        prompt.Tell(Printf(nameTaken, GbkToUtf8Lossy(source.name).c_str()), MsgIcon::Error);
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> StorableName(std::string_view utf8, IPrompt& prompt)
{
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk) {
        prompt.Tell(Printf(msg::kNameNotGbk, std::string(utf8).c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    if (gbk->size() > kMaxNameBytes) {
        prompt.Tell(Printf(msg::kNameTooLong, std::string(utf8).c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    return gbk;
}

EditResult AddFileEntry(Catalogue& catalogue, uint32_t folderId, const std::string& path, IPrompt& prompt,
                        std::unordered_set<std::string>* namesInFolder)
{
    const std::optional<std::string> name = StorableName(std::string(NameOfPath(path)), prompt);
    if (!name) return EditResult::Refused;
    const bool taken = namesInFolder ? namesInFolder->contains(*name) : catalogue.FolderHasFile(folderId, *name);
    if (taken) return RefuseExisting(*name, prompt);
    File file;
    uint64_t length = 0;
    if (!file.OpenRead(path, &length)) {
        const bool notAFile = file.RefusedType();
        prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), file.Error().c_str()),
                    notAFile ? MsgIcon::Warning : MsgIcon::Error);
        return notAFile ? EditResult::Refused : EditResult::Failed;
    }
    return AddStorableFileEntry(catalogue, folderId, *name, path, length, prompt, namesInFolder);
}

EditResult AddFileEntryOfLength(Catalogue& catalogue, uint32_t folderId, const std::string& path, uint64_t length,
                                IPrompt& prompt, std::unordered_set<std::string>* namesInFolder)
{
    std::optional<std::string> name = StorableName(NameOfPath(path), prompt);
    if (!name) return EditResult::Refused;
    return AddStorableFileEntry(catalogue, folderId, std::move(*name), path, length, prompt, namesInFolder);
}

EditResult AddStorableFileEntry(Catalogue& catalogue, uint32_t folderId, std::string gbkName, std::string path,
                                uint64_t length, IPrompt& prompt, std::unordered_set<std::string>* namesInFolder)
{
    const bool taken = namesInFolder ? namesInFolder->contains(gbkName) : catalogue.FolderHasFile(folderId, gbkName);
    if (taken) return RefuseExisting(gbkName, prompt);
    if (length >= kUnknownSize) {
        prompt.Tell(Printf(msg::kFileTooLarge, std::string(NameOfPath(path)).c_str()), MsgIcon::Warning);
        return EditResult::Refused;
    }
    FileEntry entry;
    entry.name = std::move(gbkName);
    entry.sourcePath = std::move(path);
    entry.fileSize = static_cast<uint32_t>(length);
    entry.encodedSize = entry.fileSize;
    entry.folderId = folderId;
    if (namesInFolder) namesInFolder->insert(entry.name);
    catalogue.AppendEntry(std::move(entry));
    return EditResult::Done;
}

void ReplaceEntrySource(Catalogue& catalogue, size_t index, const std::string& path, uint32_t length)
{
    FileEntry& entry = catalogue.Entries()[index];
    entry.sourcePath = path;
    entry.fileSize = length;
    if (length == 0) entry.scheme = 0;
    entry.encodedSize = entry.scheme == 0 ? length : kUnknownSize;
    entry.storedFileSize = kUnknownSize;
    entry.storedEncodedSize = kUnknownSize;
    entry.storedScheme = kNoStoredScheme;
    entry.copyOf.reset();
}

EditResult MoveFileEntry(Catalogue& catalogue, uint32_t folderId, size_t index, IPrompt& prompt,
                         std::unordered_set<std::string>* namesInFolder)
{
    FileEntry& entry = catalogue.Entries()[index];
    if (entry.folderId == folderId) return EditResult::Unchanged;
    const bool taken = namesInFolder ? !namesInFolder->insert(entry.name).second
                                     : catalogue.FolderHasFile(folderId, entry.name, index);
    if (taken) return RefuseExisting(entry.name, prompt);
    entry.folderId = folderId;
    return EditResult::Done;
}

EditResult CopyFileEntry(Catalogue& catalogue, uint32_t folderId, size_t index, IPrompt& prompt,
                         std::unordered_set<std::string>* namesInFolder)
{
    const FileEntry& source = catalogue.Entries()[index];
    const bool taken = namesInFolder ? !namesInFolder->insert(source.name).second
                                     : catalogue.FolderHasFile(folderId, source.name);
    if (taken) return RefuseExisting(source.name, prompt);

    FileEntry copy;
    copy.name = source.name;
    copy.sourcePath = source.sourcePath;
    copy.fileSize = source.fileSize;
    copy.encodedSize = source.encodedSize;
    copy.scheme = source.scheme;
    copy.folderId = folderId;
    if (source.IsCarriedOver() && index < catalogue.Records().size()) {
        copy.copyOf = catalogue.Records()[index].Location();
    } else {
        copy.copyOf = source.copyOf;
    }
    catalogue.AppendEntry(std::move(copy));
    return EditResult::Done;
}

bool HasSiblingNamed(const Folder* item, const std::string& name, bool includeSelf)
{
    if (!item || !item->parent) return includeSelf && item && item->name == name;
    for (const auto& sibling : item->parent->children) {
        if (sibling.get() == item && !includeSelf) continue;
        if (sibling->name == name) return true;
    }
    return false;
}

EditResult MoveFolder(Catalogue& catalogue, Folder& target, Folder& source, IPrompt& prompt)
{
    if (!MayTransferFolder(catalogue, target, source, msg::kMoveIntoItself, msg::kMoveNameTaken, prompt))
        return EditResult::Refused;
    catalogue.Reparent(source, target);
    return EditResult::Done;
}

EditResult CopyFolder(Catalogue& catalogue, Folder& target, Folder& source, IPrompt& prompt)
{
    if (!MayTransferFolder(catalogue, target, source, msg::kCopyIntoItself, msg::kCopyNameTaken, prompt))
        return EditResult::Refused;
    Folder* copy = catalogue.InsertFolder(source.name, -1, target);
    if (!copy) return EditResult::Failed;

    // Copies appended by this loop carry the new ID, so they are not copied
    // again. The new folder starts empty: its names are all in `names`.
    std::unordered_set<std::string> names;
    const size_t count = catalogue.Entries().size();
    for (size_t i = 0; i < count; ++i)
        if (catalogue.Entries()[i].folderId == source.id) CopyFileEntry(catalogue, copy->id, i, prompt, &names);
    for (const auto& child : source.children) CopyFolder(catalogue, *copy, *child, prompt);
    return EditResult::Done;
}

void RemoveFolderTree(Catalogue& catalogue, Folder& folder)
{
    std::set<uint32_t> ids;
    std::vector<const Folder*> pending{&folder};
    while (!pending.empty()) {
        const Folder* f = pending.back();
        pending.pop_back();
        ids.insert(f->id);
        for (const auto& child : f->children) pending.push_back(child.get());
    }
    catalogue.DetachFolder(folder);
    auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size();) {
        if (ids.count(entries[i].folderId)) {
            catalogue.RemoveEntry(i);  // the last entry moves into place i: look at it next
        } else {
            ++i;
        }
    }
}

std::string_view TrimmedName(std::string_view name)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!name.empty() && blank(name.front())) name.remove_prefix(1);
    while (!name.empty() && blank(name.back())) name.remove_suffix(1);
    return name;
}

EditResult RenameFolder(Folder& folder, std::string_view utf8Name, IPrompt& prompt)
{
    if (!folder.parent) {
        prompt.Tell(msg::kRootRename, MsgIcon::Warning);
        return EditResult::Refused;
    }
    if (TrimmedName(utf8Name).empty()) return EditResult::Refused;
    const std::optional<std::string> typed = StorableName(utf8Name, prompt);
    const std::optional<std::string> trimmed = typed ? Utf8ToGbk(TrimmedName(utf8Name)) : std::nullopt;
    if (!typed || !trimmed) return EditResult::Refused;
    if (HasSiblingNamed(&folder, *trimmed, false)) {
        prompt.Tell(msg::kNameInUse, MsgIcon::None);
        return EditResult::Refused;
    }
    if (folder.name == *typed) return EditResult::Unchanged;
    folder.name = *typed;
    return EditResult::Done;
}

EditResult RenameFolderInList(Folder& folder, std::string_view utf8Name, IPrompt& prompt)
{
    if (TrimmedName(utf8Name).empty()) return EditResult::Refused;
    const std::optional<std::string> trimmed = StorableName(TrimmedName(utf8Name), prompt);
    if (!trimmed) return EditResult::Refused;
    if (folder.parent) {
        for (const auto& sibling : folder.parent->children) {
            if (sibling.get() != &folder && GbkEqualsIgnoreCase(sibling->name, *trimmed)) {
                prompt.Tell(msg::kNameInUse, MsgIcon::None);
                return EditResult::Refused;
            }
        }
    }
    return RenameFolder(folder, utf8Name, prompt);
}

EditResult RenameFileEntry(Catalogue& catalogue, size_t index, std::string_view utf8Name, IPrompt& prompt)
{
    if (TrimmedName(utf8Name).empty()) return EditResult::Refused;
    const std::optional<std::string> typed = StorableName(utf8Name, prompt);
    const std::optional<std::string> trimmed = typed ? Utf8ToGbk(TrimmedName(utf8Name)) : std::nullopt;
    if (!typed || !trimmed) return EditResult::Refused;
    auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i != index && entries[i].folderId == entries[index].folderId &&
            GbkEqualsIgnoreCase(entries[i].name, *trimmed)) {
            prompt.Tell(msg::kNameInUse, MsgIcon::None);
            return EditResult::Refused;
        }
    }
    if (entries[index].name == *typed) return EditResult::Unchanged;
    entries[index].name = *typed;
    return EditResult::Done;
}

EditResult SetEntryScheme(Catalogue& catalogue, size_t index, uint8_t scheme, IPrompt& prompt)
{
    FileEntry& entry = catalogue.Entries()[index];
    if (entry.fileSize == 0) {
        prompt.Tell(msg::kEmptyFileScheme, MsgIcon::Warning);
        return EditResult::Refused;
    }
    entry.scheme = scheme;
    entry.encodedSize = scheme == 0 ? entry.fileSize : kUnknownSize;
    if (scheme == entry.storedScheme) {
        entry.encodedSize = entry.storedEncodedSize;
        entry.fileSize = entry.storedFileSize;
    } else if (entry.copyOf && scheme == entry.copyOf->scheme) {
        entry.encodedSize = entry.copyOf->storedSize;
    }
    return EditResult::Done;
}

bool GbkEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0, j = 0; i < a.size() && j < b.size();)
        if (FoldedGbkChar(a, i) != FoldedGbkChar(b, j)) return false;
    return true;
}

}  // namespace tarvex
