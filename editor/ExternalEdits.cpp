#include "editor/ExternalEdits.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "catalogue/CatalogueEdits.h"
#include "catalogue/PackPaths.h"
#include "platform/DiskPaths.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "schemes/EntryContent.h"
#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

constexpr const char* kChangedOutside = "文件“%s”已在外部程序中被修改，是否更新到文件包中？";
constexpr const char* kNoProgram = "无法用默认程序打开文件%s。";
// A program saving a file may write it in several steps (or write a new
// file and rename it into its place): the copy is looked at once it has
// been quiet this long.
constexpr int kSettleMs = 300;

std::string Local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The stamp of the file at path; nothing when it cannot be looked at.
std::optional<FileStamp> StampAt(const std::string& path)
{
    PathStatus status;
    std::string error;
    if (LookAtPath(path, status, error) != PathState::Found) return std::nullopt;
    return status.stamp;
}

}  // namespace

ExternalEdits::ExternalEdits(CTarvexDoc& doc)
    : doc_(doc), opener_([](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &ExternalEdits::CheckCopies);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ExternalEdits::WatchChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &ExternalEdits::WatchChanged);
}

ExternalEdits::~ExternalEdits() = default;

QString ExternalEdits::Folder() const
{
    return folder_ ? folder_->path() : QString();
}

QString ExternalEdits::CopyOf(size_t index) const
{
    const auto& entries = doc_.GetCatalogue().Entries();
    if (index >= entries.size()) return {};
    for (const Copy& copy : copies_)
        if (copy.identity == entries[index].identity) return copy.path;
    return {};
}

bool ExternalEdits::HaveFolder()
{
    if (disk_) return true;
    IPrompt& prompt = doc_.Prompt();
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarvex-XXXXXX"));
    std::string error;
    if (!folder->isValid()) {
        error = folder->errorString().toStdString();
    } else {
        disk_ = DiskFolder::Open(Local(folder->path()), error);
    }
    if (!disk_) {
        prompt.Tell(Printf(msg::kCannotMakeFolder, Local(folder->path()).c_str(), error.c_str()), MsgIcon::Error);
        return false;
    }
    folder_ = std::move(folder);
    return true;
}

bool ExternalEdits::MakePlace(const QString& name)
{
    std::shared_ptr<const DiskFolder> place;
    std::string error;
    if (disk_->Child(Local(name), place, error) == DiskFolder::ChildStatus::Ok) return true;
    doc_.Prompt().Tell(Printf(msg::kCannotMakeFolder, disk_->PathOf(Local(name)).c_str(), error.c_str()),
                       MsgIcon::Error);
    return false;
}

bool ExternalEdits::OpenInDefaultProgram(size_t index)
{
    Catalogue& catalogue = doc_.GetCatalogue();
    IPrompt& prompt = doc_.Prompt();
    if (index >= catalogue.Entries().size()) return false;
    QString path = CopyOf(index);
    // A copy already made may hold edits not offered yet: it is opened again.
    if (path.isEmpty() || !QFile::exists(path)) {
        if (!HaveFolder()) return false;
        const FileEntry& entry = catalogue.Entries()[index];
        const std::optional<std::string> name = DiskNameOf(entry.name, prompt);
        if (!name) return false;
        const QString place = QString::number(++made_);
        if (!MakePlace(place)) return false;
        path = folder_->filePath(place) + QLatin1Char('/') + QString::fromStdString(*name);
        if (!CopyEntryOut(doc_.Pack(), index, Local(path), prompt, doc_.Plugins())) return false;
        copies_.erase(
            std::remove_if(copies_.begin(), copies_.end(), [&](const Copy& c) { return c.identity == entry.identity; }),
            copies_.end());
        Copy copy{entry.identity, index, path, {}, 0};
        copy.stamp = StampAt(Local(path)).value_or(FileStamp{});
        copies_.push_back(std::move(copy));
        watcher_.addPath(path);
        watcher_.addPath(folder_->filePath(place));
    }
    if (opener_(path)) return true;
    prompt.Tell(Printf(kNoProgram, Local(path).c_str()), MsgIcon::Warning);
    return false;
}

void ExternalEdits::WatchChanged()
{
    settle_.start();
}

void ExternalEdits::CheckCopies()
{
    // Nothing changes under a save, an extraction or an open dialog, and
    // one question is asked at a time: the copies are looked at later.
    if (asking_ || doc_.Busy() || QApplication::activeModalWidget()) {
        settle_.start();
        return;
    }
    for (size_t i = 0; i < copies_.size(); ++i) {
        // A program that saved by renaming a new file into the copy's
        // place left the watcher with nothing to watch.
        if (!watcher_.files().contains(copies_[i].path) && QFile::exists(copies_[i].path))
            watcher_.addPath(copies_[i].path);
        const std::optional<FileStamp> now = StampAt(Local(copies_[i].path));
        if (!now || *now == copies_[i].stamp) continue;
        copies_[i].stamp = *now;
        Offer(i);
    }
}

void ExternalEdits::Offer(size_t which)
{
    Catalogue& catalogue = doc_.GetCatalogue();
    const uint64_t identity = copies_[which].identity;
    // A file deleted from the pack meanwhile has nothing left to update.
    const std::optional<size_t> asked = catalogue.EntryIndexOf(identity, copies_[which].indexHint);
    if (!asked) return;
    asking_ = true;
    const MsgAnswer answer = doc_.Prompt().Message(Printf(kChangedOutside, ShownPath(catalogue, *asked).c_str()),
                                                   MsgIcon::Question, MsgButtons::YesNo);
    asking_ = false;
    // The question let events through: the copy and the entry are looked up again.
    if (answer != MsgAnswer::Yes || which >= copies_.size() || copies_[which].identity != identity) return;
    const std::optional<size_t> index = catalogue.EntryIndexOf(identity, *asked);
    if (index) TakeChangedCopy(copies_[which], *index);
}

void ExternalEdits::TakeChangedCopy(Copy& copy, size_t index)
{
    IPrompt& prompt = doc_.Prompt();
    copy.indexHint = index;
    // The entry takes the file as it is now, in a copy of its own: later
    // edits in the program are offered again and, until answered Yes, are
    // not what the next save stores.
    const QString name = copy.path.section(QLatin1Char('/'), -1);
    const QString place =
        QStringLiteral("%1.%2").arg(copy.path.section(QLatin1Char('/'), -2, -2)).arg(++copy.takenCount);
    if (!MakePlace(place)) return;
    const QString taken = folder_->filePath(place);
    const QString takenPath = taken + QLatin1Char('/') + name;
    uint64_t length = 0;
    if (!CopyDiskFile(Local(copy.path), Local(takenPath), prompt, &length)) {
        QDir(taken).removeRecursively();
        return;
    }
    if (length >= kUnknownSize) {
        prompt.Tell(Printf(msg::kFileTooLarge, Local(name).c_str()), MsgIcon::Warning);
        QDir(taken).removeRecursively();
        return;
    }
    // An earlier copy stays until the document closes: a copy of the entry
    // made in the pack since reads it.
    ReplaceEntrySource(doc_.GetCatalogue(), index, Local(takenPath), static_cast<uint32_t>(length));
    doc_.SetModifiedFlag();
    if (doc_.ListView()) doc_.ListView()->RefreshList();
}

void ExternalEdits::Forget()
{
    settle_.stop();
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    copies_.clear();
    disk_.reset();
    folder_.reset();
}

}  // namespace tarvex
