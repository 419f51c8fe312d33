#pragma once
// The questions the document and the views ask the user that are not
// messages: which files to insert, which pack to open or save as, which
// folder to extract into. The editor shows the real dialogs; tests script
// the answers. Paths are as the disk spells them (UTF-8 on this system).
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

class IUserChoices {
public:
    virtual ~IUserChoices() = default;
    // Existing files, several at once; empty when cancelled.
    virtual std::vector<std::string> ChooseFilesToInsert() = 0;
    virtual std::optional<std::string> ChoosePackToOpen() = 0;
    // The path a pack is saved as; proposed is the current name, if any.
    virtual std::optional<std::string> ChooseSavePath(const std::string& proposed) = 0;
    // The folder extraction writes into.
    virtual std::optional<std::string> ChooseTargetFolder() = 0;
};

}  // namespace tarvex
