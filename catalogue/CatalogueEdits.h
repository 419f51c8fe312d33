#pragma once
// The changes a user makes to a catalogue, with their refusals and messages.
// The editor's views and epk's editing commands call these; neither
// re-implements a rule.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "catalogue/Catalogue.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class EditResult {
    Done,       // the catalogue changed
    Unchanged,  // nothing to do, nothing reported
    Refused,    // refused with a message; the next item of a batch may go on
    Failed,     // an error that ends the whole command, reported
};

// The GBK bytes a name typed or found on disk is stored as; reports (and
// gives nothing) when GBK cannot hold it or it is longer than 255 bytes.
std::optional<std::string> StorableName(std::string_view utf8, IPrompt& prompt);

// A new file entry for the file at path (its name: the last component) in
// the folder with folderId. Refuses a name already in that folder and
// anything that is not a regular file (a pipe, a device, a socket: never
// waited on); a file that cannot be opened fails the command. With
// namesInFolder (the folder's file names, from FileNamesIn, built once for a
// command of many items) the name is looked up there and added to it, so
// that many files go in in linear time.
EditResult AddFileEntry(Catalogue& catalogue, uint32_t folderId, const std::string& path, IPrompt& prompt,
                        std::unordered_set<std::string>* namesInFolder = nullptr);
// The same for a file whose length is known already (from a folder walk);
// the file is not opened here, only when it is saved.
EditResult AddFileEntryOfLength(Catalogue& catalogue, uint32_t folderId, const std::string& path, uint64_t length,
                                IPrompt& prompt, std::unordered_set<std::string>* namesInFolder = nullptr);
// As AddFileEntryOfLength, for a file whose name StorableName has already
// turned into gbkName.
EditResult AddStorableFileEntry(Catalogue& catalogue, uint32_t folderId, std::string gbkName, std::string path,
                                uint64_t length, IPrompt& prompt, std::unordered_set<std::string>* namesInFolder);
// Makes entry index hold the file at path (`length` bytes) in place of its
// bytes in the pack: it keeps its name, folder and scheme (none for an
// empty file) and is read and encoded again at the next save.
void ReplaceEntrySource(Catalogue& catalogue, size_t index, const std::string& path, uint32_t length);
// Moves entry index into the folder; nothing happens when it is there already.
// namesInFolder as for AddFileEntry.
EditResult MoveFileEntry(Catalogue& catalogue, uint32_t folderId, size_t index, IPrompt& prompt,
                         std::unordered_set<std::string>* namesInFolder = nullptr);
// Appends a copy of entry index in the folder. A copy of a file held in the
// pack takes its bytes from the pack. namesInFolder as for AddFileEntryOfLength.
EditResult CopyFileEntry(Catalogue& catalogue, uint32_t folderId, size_t index, IPrompt& prompt,
                         std::unordered_set<std::string>* namesInFolder = nullptr);

// Whether a sibling of item (item itself too with includeSelf) is named name
// (exact bytes). False for a null item.
bool HasSiblingNamed(const Folder* item, const std::string& name, bool includeSelf);

// Moves source with everything below it to the end of target's children; IDs
// stay, so the file entries follow untouched.
EditResult MoveFolder(Catalogue& catalogue, Folder& target, Folder& source, IPrompt& prompt);
// Copies source with its files and sub-folders into target under new IDs.
EditResult CopyFolder(Catalogue& catalogue, Folder& target, Folder& source, IPrompt& prompt);
// Removes a folder, its sub-folders and every file entry in them.
void RemoveFolderTree(Catalogue& catalogue, Folder& folder);

// Renames a folder as the folder tree does: the root keeps its name, a blank
// name is refused without a message, a name a sibling carries (exact bytes)
// is refused. The name is stored as typed; the checks use it trimmed.
EditResult RenameFolder(Folder& folder, std::string_view utf8Name, IPrompt& prompt);
// Renames a folder as the file list does: as RenameFolder, and also refused
// when another folder beside it carries the name, case ignored (the list
// compares a folder row with the other folder rows as it compares files).
EditResult RenameFolderInList(Folder& folder, std::string_view utf8Name, IPrompt& prompt);
// Renames a file entry as the file list does: a blank name is refused without
// a message, a name another file of its folder shows (ignoring case) is refused.
EditResult RenameFileEntry(Catalogue& catalogue, size_t index, std::string_view utf8Name, IPrompt& prompt);

// HasText: name without leading and trailing white space; empty when blank.
std::string_view TrimmedName(std::string_view name);

// Gives entry index the scheme; a 0-byte file is refused. Choosing the scheme
// the file has in the pack on disk brings its stored sizes back.
EditResult SetEntryScheme(Catalogue& catalogue, size_t index, uint8_t scheme, IPrompt& prompt);

// Name comparison of the file list: whole names, ASCII letters without regard
// to case, double-byte characters compared exactly.
bool GbkEqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tarvex
