// epk mv and cp: an item goes into a folder that exists, or, as with mv and
// cp -r, takes the name of a destination that does not exist yet.
#include <algorithm>

#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackEdit.h"
#include "tools/epk/PackTargets.h"

namespace tarvex::epk {
namespace {

constexpr const char* kNoSuchFolder = "文件包中没有文件夹“%s”。";

// The folder a destination that does not exist goes into, and its new name.
struct NewPlace {
    Folder* folder = nullptr;
    std::string name;  // UTF-8
};

std::optional<NewPlace> PlaceOf(PackSession& s, std::string to, EditOutcome& out)
{
    while (to.size() > 1 && (to.back() == '/' || to.back() == '\\')) to.pop_back();
    const size_t cut = to.find_last_of("/\\");
    NewPlace place;
    place.name = cut == std::string::npos ? to : to.substr(cut + 1);
    const std::string parent = cut == std::string::npos ? std::string() : to.substr(0, cut);
    place.folder = FolderAtPath(s.catalogue, parent, false);
    if (!place.folder) {
        s.prompt.Tell(Printf(kNoSuchFolder, parent.c_str()), MsgIcon::Error);
        out.refused = true;
        return std::nullopt;
    }
    return place;
}

// One item on its way: a folder, or a file entry.
struct Item {
    Folder* folder = nullptr;
    size_t entry = 0;
};

class Transfer {
public:
    Transfer(PackSession& s, bool copy) : s_(s), c_(s.catalogue), copy_(copy) {}

    // Into the folder `to`, copied or moved; the item then names what
    // arrived there.
    EditResult Into(Folder& to, Item& item) { return Into(to, item, copy_); }

    EditResult Rename(const Item& item, const std::string& name)
    {
        return item.folder ? RenameFolder(*item.folder, name, s_.prompt)
                           : RenameFileEntry(c_, item.entry, name, s_.prompt);
    }

    // To a new name in `place`. A move within its own folder is a rename;
    // otherwise the item goes through a folder of its own first, so that
    // neither its old name in the new place nor its new name in the old
    // place is in the way.
    EditResult ToNewName(const NewPlace& place, Item& item)
    {
        const Folder* parent = item.folder ? item.folder->parent : c_.FolderById(c_.Entries()[item.entry].folderId);
        if (!copy_ && parent == place.folder) return Rename(item, place.name);
        Folder* passage = c_.InsertFolder(PassageName(), -1, c_.Root());
        if (!passage) return EditResult::Failed;
        EditResult result = Into(*passage, item);
        if (result == EditResult::Done) {
            const EditResult renamed = Rename(item, place.name);  // Unchanged: it keeps its name
            if (renamed == EditResult::Refused || renamed == EditResult::Failed) result = renamed;
        }
        if (result == EditResult::Done) result = Into(*place.folder, item, false);
        // Nothing is saved unless every step was done: what stays in the
        // passage then goes nowhere.
        if (result == EditResult::Done) RemoveFolderTree(c_, *passage);
        return result == EditResult::Unchanged ? EditResult::Refused : result;
    }

private:
    EditResult Into(Folder& to, Item& item, bool copy)
    {
        if (item.folder) {
            const EditResult result =
                copy ? CopyFolder(c_, to, *item.folder, s_.prompt) : MoveFolder(c_, to, *item.folder, s_.prompt);
            if (result == EditResult::Done && copy) item.folder = to.children.back().get();
            return result;
        }
        const EditResult result =
            copy ? CopyFileEntry(c_, to.id, item.entry, s_.prompt) : MoveFileEntry(c_, to.id, item.entry, s_.prompt);
        if (result == EditResult::Done && copy) item.entry = c_.Entries().size() - 1;
        return result;
    }

    // A name no folder at the top has; the passage is never saved.
    std::string PassageName() const
    {
        std::string name = "\x01passage";
        const auto& top = c_.Root().children;
        while (std::any_of(top.begin(), top.end(), [&](const auto& folder) { return folder->name == name; }))
            name += '+';
        return name;
    }

    PackSession& s_;
    Catalogue& c_;
    bool copy_;
};

int RunTransfer(const CliArgs& args, bool copy)
{
    const std::string from = args.positional[1];
    const std::string to = args.positional[2];
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        const std::optional<PathTarget> source = FindForEdit(s, from, out);
        if (!source) return;
        std::vector<Item> items;
        if (source->folder) items.push_back({source->folder, 0});
        for (size_t i : source->files) items.push_back({nullptr, i});
        const std::string verb = copy ? "复制 " : "移动 ";
        const auto shown = [&](const Item& item) {
            return item.folder ? ListedPath(*item.folder) : ListedPath(c, item.entry);
        };
        Folder* into = FolderAtPath(c, to, false);
        std::optional<NewPlace> place;
        if (!into && !(place = PlaceOf(s, to, out))) return;
        Transfer transfer(s, copy);
        // Of several files of one path (only a damaged pack has them) the
        // first takes a new name.
        if (place) items.resize(1);
        for (Item& item : items) {
            const std::string before = shown(item);
            const EditResult result = into ? transfer.Into(*into, item) : transfer.ToNewName(*place, item);
            NoteResult(out, result, result == EditResult::Done ? verb + before + " → " + shown(item) : "");
        }
    });
}

}  // namespace

int RunMv(const CliArgs& args)
{
    return RunTransfer(args, false);
}

int RunCp(const CliArgs& args)
{
    return RunTransfer(args, true);
}

}  // namespace tarvex::epk
