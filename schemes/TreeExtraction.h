#pragma once
// Extracting files and whole folders of a pack into a folder on disk, never
// writing outside it: names that cannot be one safe disk name are reported
// and skipped, a symbolic link or file where a folder should be made stops
// that folder, and every folder is held open while files go into it, so that
// a folder swapped for a link meanwhile does not lead them elsewhere.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "schemes/Extraction.h"

namespace tarvex {

struct ExtractionReport {
    size_t written = 0;
    size_t failed = 0;  // each reported
};

// The disk name (UTF-8) a pack name is extracted as; nothing (reported as a
// warning) when it cannot be one safe name on disk or is too long for one.
std::optional<std::string> DiskNameOf(const std::string& gbkName, IPrompt& prompt);

// The destination folder at path, held; nothing (reported) when it cannot
// be opened as a folder.
std::shared_ptr<const DiskFolder> OpenDestination(const std::string& path, IPrompt& prompt);

// Makes the disk folders of `folder`'s path inside the pack below dest (the
// root's place is dest itself), each name checked as every extracted name
// is. The disk folder, held; nothing (reported) when a name cannot be
// written or a folder cannot be made.
std::shared_ptr<const DiskFolder> MakeFolderPlace(const Catalogue& catalogue, const Folder& folder,
                                                  const std::shared_ptr<const DiskFolder>& dest, IPrompt& prompt);

// Writes entry `index` as <its name> in dest.
bool ExtractEntryInto(PackExtractor& extractor, const Catalogue& catalogue, size_t index, const DiskFolder& dest,
                      IPrompt& prompt);

// Told of each file of a tree in order as its turn comes (it may already be
// written by another thread): its entry index and the disk folder it goes
// into. The editor shows and steps its progress with it.
using BeforeFileWritten = std::function<void(size_t index, const std::string& diskFolder)>;

// Writes the files of `folder` and of every folder below it, with their
// folders, into destFolder: the root's contents go straight into it, another
// folder goes in as destFolder/<its name>.
ExtractionReport ExtractFolderTree(PackExtractor& extractor, const Catalogue& catalogue, const Folder& folder,
                                   const std::shared_ptr<const DiskFolder>& dest, IPrompt& prompt,
                                   const BeforeFileWritten& beforeFile = {});
// The same into the folder at destPath.
ExtractionReport ExtractFolderTree(PackExtractor& extractor, const Catalogue& catalogue, const Folder& folder,
                                   const std::string& destPath, IPrompt& prompt,
                                   const BeforeFileWritten& beforeFile = {});

}  // namespace tarvex
