#pragma once
// Building, saving and reopening packs in tests.
#include <map>
#include <string>
#include <vector>

#include "catalogue/CatalogueEdits.h"
#include "pack/PackArchive.h"
#include "schemes/SchemeDispatch.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"

namespace tarvex::test {

// A document-like bundle: catalogue, pack object and a recording prompt.
struct PackDoc {
    Catalogue catalogue;
    CPackArchive archive{catalogue};
    RecordingPrompt prompt;
    // Where plug-in schemes find their modules when saving and decoding.
    PluginHost plugins;

    // Adds a file with these bytes (written under dir) to the folder at
    // packPath ("A\B", created as needed); returns the entry index.
    size_t AddFile(const TempDir& dir, const std::string& packPath, const std::vector<uint8_t>& bytes,
                   uint8_t scheme = 0);
    Folder& FolderAt(const std::string& packPath);

    bool Save(const std::string& path, const std::string& password = "", StoreOptions options = {});
    bool Open(const std::string& path, const std::string& password = "");

    // Every file by pack path, decoded from the pack on disk.
    std::map<std::string, std::vector<uint8_t>> Contents();
    // Every folder's pack path with its ID.
    std::map<std::string, uint16_t> Folders() const;
};

KeySchedule KeysFor(const std::string& password);

}  // namespace tarvex::test
