// epk's editing commands: add, mkdir, rm, mv, cp, rename, scheme, passwd.
#include <algorithm>
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
#include "tools/epk/PackEdit.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"
#include "tools/epk/SchemeArgument.h"

namespace tarvex::epk {
namespace {

constexpr const char* kNoSuchFolder = "文件包中没有文件夹%s。";
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

// What a typed path names; reports and gives nothing when it names nothing.
std::optional<PathTarget> Find(PackSession& s, const std::string& path, EditOutcome& out)
{
    std::optional<PathTarget> target = FindOneNamed(s.catalogue, path, s.prompt);
    if (!target) out.refused = true;
    return target;
}

Folder* FindFolder(PackSession& s, const std::string& path, EditOutcome& out)
{
    Folder* folder = FolderAtPath(s.catalogue, path, false);
    if (!folder) {
        s.prompt.Tell(Printf(kNoSuchFolder, path.c_str()), MsgIcon::Error);
        out.refused = true;
    }
    return folder;
}

void Note(EditOutcome& out, EditResult result, const std::string& change)
{
    if (result == EditResult::Done) out.changes.push_back(change);
    if (result == EditResult::Refused) out.refused = true;
    if (result == EditResult::Failed) out.failed = true;
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
        if (!existed) out.changes.push_back("新建文件夹 " + ShownPath(*target));
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
                Note(out, result, result == EditResult::Done ? "加入 " + ShownPath(c, c.Entries().size() - 1) : "");
                if (out.failed) return;
                continue;
            }
            if (!args.Has("-r")) {
                s.prompt.Tell(source + "是文件夹；要加入整个文件夹，请加上 -r。", MsgIcon::Error);
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
            for (size_t i = first; i < c.Entries().size(); ++i) out.changes.push_back("加入 " + ShownPath(c, i));
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
        out.changes.push_back("新建文件夹 " + ShownPath(*folder));
    });
}

int RunRm(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(1));
    if (!paths) return kExitFailure;
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        for (const std::string& path : *paths) {
            const std::optional<PathTarget> target = Find(s, path, out);
            if (!target) continue;
            if (target->folder == &c.Root()) {
                s.prompt.Tell(kRootDelete, MsgIcon::Warning);
                out.refused = true;
            } else if (target->folder) {
                const size_t files = FilesBelow(c, *target->folder).size();
                out.changes.push_back(Printf("删除文件夹 %s（连同其中的 %zu 个文件）", ShownPath(*target->folder).c_str(), files));
                RemoveFolderTree(c, *target->folder);
            } else {
                std::vector<size_t> files = target->files;
                std::sort(files.rbegin(), files.rend());  // a removal moves only entries above it
                for (size_t i : files) {
                    out.changes.push_back("删除 " + ShownPath(c, i));
                    c.RemoveEntry(i);
                }
            }
        }
    });
}

namespace {

int Transfer(const CliArgs& args, bool copy)
{
    const std::string from = args.positional[1];
    const std::string to = args.positional[2];
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        const std::optional<PathTarget> source = Find(s, from, out);
        Folder* target = source ? FindFolder(s, to, out) : nullptr;
        if (!target) return;
        const char* verb = copy ? "复制 " : "移动 ";
        if (source->folder) {
            const std::string shown = ShownPath(*source->folder);
            const EditResult result = copy ? CopyFolder(c, *target, *source->folder, s.prompt)
                                           : MoveFolder(c, *target, *source->folder, s.prompt);
            Note(out, result, verb + shown + " → " + ShownPath(*target));
            return;
        }
        for (size_t i : source->files) {
            const std::string shown = ShownPath(c, i);
            const EditResult result = copy ? CopyFileEntry(c, target->id, i, s.prompt)
                                           : MoveFileEntry(c, target->id, i, s.prompt);
            Note(out, result, verb + shown + " → " + ShownPath(*target));
        }
    });
}

}  // namespace

int RunMv(const CliArgs& args)
{
    return Transfer(args, false);
}

int RunCp(const CliArgs& args)
{
    return Transfer(args, true);
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
        const std::optional<PathTarget> target = Find(s, path, out);
        if (!target) return;
        if (target->folder) {
            const std::string shown = ShownPath(*target->folder);
            Note(out, RenameFolder(*target->folder, name, s.prompt), "改名 " + shown + " → " + name);
            return;
        }
        const std::string shown = ShownPath(s.catalogue, target->files.front());
        Note(out, RenameFileEntry(s.catalogue, target->files.front(), name, s.prompt), "改名 " + shown + " → " + name);
    });
}

int RunScheme(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths =
        ExpandPathLists(std::span(args.positional).subspan(1, args.positional.size() - 2));
    if (!paths) return kExitFailure;
    const std::string schemeName = args.positional.back();
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        const std::optional<uint8_t> scheme = ParseSchemeArgument(schemeName, c);
        if (!scheme) {
            out.failed = true;
            return;
        }
        for (const std::string& path : *paths) {
            const std::optional<PathTarget> target = Find(s, path, out);
            if (!target) continue;
            const std::vector<size_t> files = target->folder ? FilesBelow(c, *target->folder) : target->files;
            for (size_t i : files) {
                const uint8_t old = c.Entries()[i].scheme;
                if (old == *scheme) continue;
                const std::string change = "编码方案 " + ShownPath(c, i) + "：" + SchemeName(old, c.Plugins()) +
                                           " → " + SchemeName(*scheme, c.Plugins());
                Note(out, SetEntryScheme(c, i, *scheme, s.prompt), change);
            }
        }
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
