// epk's editing commands add, mkdir, rm, rename and passwd.
#include <algorithm>
#include <set>
#include <cerrno>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "catalogue/CatalogueEdits.h"
#include "catalogue/DirectoryImport.h"
#include "catalogue/Exclusions.h"
#include "catalogue/PackPaths.h"
#include "platform/DiskPaths.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackEdit.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"
#include "tools/epk/SchemeArgument.h"

namespace tarvex::epk {
namespace {

constexpr const char* kRootDelete = "注意：不允许删除根节点！";
constexpr const char* kEmptyNewPassword = "新密码是空的，没有更改密码。要去掉密码，请用 --no-password。";

// Every name of a typed folder path can be stored; reports the first that cannot.
bool StorablePath(const std::string& utf8Path, IPrompt& prompt)
{
    std::string name;
    for (size_t i = 0; i <= utf8Path.size(); ++i) {
        if (i == utf8Path.size() || utf8Path[i] == '/' || utf8Path[i] == '\\') {
            if (!name.empty() && !StorableName(name, prompt)) return false;
            name.clear();
        } else {
            name += utf8Path[i];
        }
    }
    return true;
}

std::string DiskName(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && kPathSeparators.find(trimmed.back()) != std::string_view::npos) trimmed.pop_back();
    const size_t slash = trimmed.find_last_of(kPathSeparators);
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

int RunAdd(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> sources =
        ExpandPathLists(std::span(args.positional).subspan(1));
    if (!sources) return kExitFailure;
    const std::string to = args.Value("--to").value_or("");
    const Exclusions exclusions(args.Values("--exclude"));
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        const std::optional<uint8_t> scheme = ParseSchemeArgument(args.Value("--scheme").value_or("none"), c);
        if (!scheme || !StorablePath(to, s.prompt)) {
            out.failed = true;
            return;
        }
        const bool existed = FolderAtPath(c, to, false) != nullptr;
        Folder* target = FolderAtPath(c, to, true);
        if (!target) {
            out.failed = true;
            return;
        }
        if (!existed) out.changes.push_back("新建文件夹 " + ListedPath(*target));
        const std::string prefix = PatternPrefix(*target);
        const size_t before = c.Entries().size();
        for (const std::string& source : *sources) {
            const std::string packPath = prefix + DiskName(source);
            if (exclusions.Excludes(packPath)) continue;
            PathStatus st;
            std::string error;
            if (const PathState state = LookAtPath(source, st, error); state != PathState::Found) {
                if (state == PathState::Missing) error = SystemErrorText(ENOENT);
                s.prompt.Tell(Printf(msg::kCannotOpenFile, source.c_str(), error.c_str()), MsgIcon::Error);
                out.failed = true;
                return;
            }
            if (st.kind != FileKind::Folder) {
                const EditResult result = AddFileEntry(c, target->id, source, s.prompt);
                NoteResult(out, result, result == EditResult::Done ? "加入 " + ListedPath(c, c.Entries().size() - 1) : "");
                if (out.failed) return;
                continue;
            }
            if (!args.Has("-r")) {
                s.prompt.Tell(Quoted(source) + "是文件夹；要加入整个文件夹，请加上 -r。", MsgIcon::Error);
                out.refused = true;
                continue;
            }
            const std::optional<std::string> name = StorableName(DiskName(source), s.prompt);
            if (!name) {
                out.refused = true;
                continue;
            }
            Folder* folder = nullptr;
            for (const auto& child : target->children)
                if (child->name == *name) folder = child.get();
            if (!folder && !(folder = c.InsertFolder(*name, -1, *target))) {
                out.failed = true;
                return;
            }
            const size_t first = c.Entries().size();
            const ImportReport report =
                ImportDirectoryTree(c, *folder, source, s.prompt, exclusions.Filter(packPath + "/"));
            if (report.failed) {
                out.failed = true;
                return;
            }
            out.refused = out.refused || report.refused > 0 || report.skipped > 0;
            for (size_t i = first; i < c.Entries().size(); ++i) out.changes.push_back("加入 " + ListedPath(c, i));
        }
        for (size_t i = before; i < c.Entries().size(); ++i)
            if (c.Entries()[i].fileSize > 0) c.Entries()[i].scheme = *scheme;
    });
}

int RunMkdir(const CliArgs& args)
{
    const std::string path = args.positional[1];
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        if (!StorablePath(path, s.prompt)) {
            out.failed = true;
            return;
        }
        if (FolderAtPath(s.catalogue, path, false)) return;
        Folder* folder = FolderAtPath(s.catalogue, path, true);
        if (!folder) {
            out.failed = true;
            return;
        }
        out.changes.push_back("新建文件夹 " + ListedPath(*folder));
    });
}

int RunRm(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(1));
    if (!paths) return kExitFailure;
    const bool wildcards = !args.Has("--no-wildcards");
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        // Everything named is looked up first and removed after: a pattern
        // names many items, and a removal moves entries.
        std::vector<Folder*> folders;
        std::set<size_t> files;
        const auto inRemovedFolder = [&](const Folder& folder) {
            return std::any_of(folders.begin(), folders.end(),
                               [&](const Folder* removed) { return c.IsSameOrBelow(folder, *removed); });
        };
        for (const std::string& path : *paths) {
            const std::vector<PathTarget> targets = FindTargets(c, path, wildcards, s.prompt);
            if (targets.empty()) out.refused = true;
            for (const PathTarget& target : targets) {
                if (target.folder == &c.Root()) {
                    s.prompt.Tell(kRootDelete, MsgIcon::Warning);
                    out.refused = true;
                } else if (target.folder) {
                    if (inRemovedFolder(*target.folder)) continue;
                    out.changes.push_back(Printf("删除文件夹 %s（连同其中的 %zu 个文件）", ListedPath(*target.folder).c_str(),
                                                 FilesBelow(c, *target.folder).size()));
                    folders.push_back(target.folder);
                } else {
                    for (size_t i : target.files) {
                        const Folder* folder = c.FolderById(c.Entries()[i].folderId);
                        if ((folder && inRemovedFolder(*folder)) || !files.insert(i).second) continue;
                        out.changes.push_back("删除 " + ListedPath(c, i));
                    }
                }
            }
        }
        // A folder named after one of its own folders takes that one along.
        std::erase_if(folders, [&](const Folder* folder) {
            return std::any_of(folders.begin(), folders.end(), [&](const Folder* other) {
                return other != folder && c.IsSameOrBelow(*folder, *other);
            });
        });
        for (auto it = files.rbegin(); it != files.rend(); ++it) c.RemoveEntry(*it);  // a removal moves only entries above it
        for (Folder* folder : folders) RemoveFolderTree(c, *folder);
    });
}

int RunRename(const CliArgs& args)
{
    const std::string path = args.positional[1];
    const std::string name = args.positional[2];
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        if (name.find_first_of("/\\") != std::string::npos) {
            s.prompt.Tell("新名字不能含有“/”或“\\”。", MsgIcon::Error);
            out.refused = true;
            return;
        }
        if (TrimmedName(name).empty()) {
            s.prompt.Tell("新名字不能是空白。", MsgIcon::Error);
            out.refused = true;
            return;
        }
        const std::optional<PathTarget> target = FindForEdit(s, path, out);
        if (!target) return;
        if (target->folder) {
            const std::string shown = ListedPath(*target->folder);
            NoteResult(out, RenameFolder(*target->folder, name, s.prompt), "改名 " + shown + " → " + name);
            return;
        }
        const std::string shown = ListedPath(s.catalogue, target->files.front());
        NoteResult(out, RenameFileEntry(s.catalogue, target->files.front(), name, s.prompt), "改名 " + shown + " → " + name);
    });
}

int RunPasswd(const CliArgs& args)
{
    const std::optional<std::string> newFile = args.Value("--new-password-file");
    if (newFile.has_value() == args.Has("--no-password")) {
        PrintErr("请给出 --new-password-file 新密码文件 或者 --no-password 两者之一。\n");
        return kExitUsage;
    }
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        if (!newFile) {
            out.keys = KeySchedule{};
            if (s.archive.Keys().IsProtected()) out.changes.push_back("去掉密码");
            return;
        }
        const std::optional<std::string> text = ReadPasswordFile(*newFile, PasswordMode::Set);
        // An empty file (or /dev/null) is more likely a mistake than a wish
        // to drop the password, which --no-password says plainly.
        if (text && text->empty()) s.prompt.Tell(kEmptyNewPassword, MsgIcon::Error);
        const std::optional<PasswordBlocks> blocks = text && !text->empty() ? PasswordFromText(*text) : std::nullopt;
        if (!blocks) {
            out.failed = true;
            return;
        }
        out.keys = MakeKeySchedule(*blocks);
        if (!KeysUsable(*out.keys)) {
            s.prompt.Tell(msg::kPasswordUnusable, MsgIcon::Error);
            out.failed = true;
            return;
        }
        out.changes.push_back(blocks->IsZero() ? "去掉密码" : "更改密码");
    });
}

}  // namespace tarvex::epk
