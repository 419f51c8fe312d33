#pragma once
// Cut, copy and paste of folders and files between the folders of a pack.
// The clipboard carries the 8-byte records that name the items inside this
// program and, in a second format, what tells this document's records from
// another's and each file entry's identity: a record another running Tarvex
// wrote, or one whose item has been removed since, is never pasted.
#include <QByteArray>
#include <optional>
#include <span>
#include <vector>

#include "catalogue/Catalogue.h"
#include "editor/ClipboardFormat.h"
#include "editor/FileListModel.h"
#include "talk/Prompt.h"

namespace tarvex {

// The record block as the clipboard holds it, and back (N = size / 8).
QByteArray EncodeClipboardItems(std::span<const ClipboardItem> items);
std::vector<ClipboardItem> DecodeClipboardItems(const QByteArray& block);

// An item of the clipboard as this document still knows it.
struct PastedItem {
    bool isFile = false;
    bool copy = false;
    uint64_t identity = 0;   // a file entry's identity
    uint32_t reference = 0;  // the entry's index when it was put there, or the folder's handle
};

class ClipboardTransfer {
public:
    explicit ClipboardTransfer(const Catalogue& catalogue);

    // CopyToClipboard: records for the items (in their order) as a cut or a
    // copy. False, reported, when the clipboard did not take them; it then
    // keeps what it had.
    bool Put(const std::vector<ListRow>& items, bool copy, IPrompt& prompt) const;

    // Whether the clipboard offers pack items (paste is enabled).
    static bool Offered();

    // The records on the clipboard that this document wrote, in order.
    // Empty, reported, when the clipboard holds no pack items.
    std::optional<std::vector<PastedItem>> Take(IPrompt& prompt) const;

    // The entry index or folder an item names now; empty when it is gone.
    std::optional<size_t> EntryOf(const PastedItem& item) const;
    Folder* FolderOf(const PastedItem& item) const;

private:
    const Catalogue& catalogue_;
    // Tells this document's records from those of every other document,
    // in this process or another.
    QByteArray origin_;
};

}  // namespace tarvex
