#include "editor/ClipboardTransfer.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QRandomGenerator>
#include <cstring>

namespace tarvex {
namespace {

constexpr const char* kCannotOpen = "无法打开剪贴簿！";
constexpr const char* kNoData = "无法从剪贴簿粘贴数据！";

constexpr qsizetype kOriginBytes = 16;

template <typename T>
void Append(QByteArray& bytes, T value)
{
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T ReadAt(const QByteArray& bytes, qsizetype offset)
{
    T value;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

// The second format: the writer's origin, the record count and one identity
// per record (0 for a folder).
QByteArray EncodeOrigin(const QByteArray& origin, const std::vector<uint64_t>& identities)
{
    QByteArray bytes = origin;
    Append(bytes, static_cast<uint32_t>(identities.size()));
    for (uint64_t identity : identities) Append(bytes, identity);
    return bytes;
}

// The identities of the records, when origin names this writer and the
// block fits the records; empty otherwise.
std::optional<std::vector<uint64_t>> DecodeOrigin(const QByteArray& bytes, const QByteArray& origin, size_t records)
{
    const qsizetype head = kOriginBytes + static_cast<qsizetype>(sizeof(uint32_t));
    if (bytes.size() < head || bytes.left(kOriginBytes) != origin) return std::nullopt;
    const auto count = ReadAt<uint32_t>(bytes, kOriginBytes);
    if (count != records || bytes.size() != head + static_cast<qsizetype>(count * sizeof(uint64_t)))
        return std::nullopt;
    std::vector<uint64_t> identities(count);
    for (size_t i = 0; i < count; ++i)
        identities[i] = ReadAt<uint64_t>(bytes, head + static_cast<qsizetype>(i * sizeof(uint64_t)));
    return identities;
}

}  // namespace

QByteArray EncodeClipboardItems(std::span<const ClipboardItem> items)
{
    QByteArray block;
    block.reserve(static_cast<qsizetype>(items.size() * 8));
    for (const ClipboardItem& item : items) {
        Append(block, item.flags);
        Append(block, item.reference);
    }
    return block;
}

std::vector<ClipboardItem> DecodeClipboardItems(const QByteArray& block)
{
    std::vector<ClipboardItem> items(static_cast<size_t>(block.size() / 8));
    for (size_t i = 0; i < items.size(); ++i) {
        const auto at = static_cast<qsizetype>(i * 8);
        items[i] = {ReadAt<uint32_t>(block, at), ReadAt<uint32_t>(block, at + 4)};
    }
    return items;
}

ClipboardTransfer::ClipboardTransfer(const Catalogue& catalogue) : catalogue_(catalogue)
{
    origin_.resize(kOriginBytes);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(origin_.data()), kOriginBytes / 4);
}

bool ClipboardTransfer::Put(const std::vector<ListRow>& items, bool copy, IPrompt& prompt) const
{
    std::vector<ClipboardItem> records;
    std::vector<uint64_t> identities;
    for (const ListRow& item : items) {
        const uint32_t flags = (copy ? kClipItemIsCopy : 0) | (item.isFolder ? 0 : kClipItemIsFile);
        records.push_back({flags, item.ref});
        const bool named = !item.isFolder && item.ref < catalogue_.Entries().size();
        identities.push_back(named ? catalogue_.Entries()[item.ref].identity : 0);
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kClipboardFormat), EncodeClipboardItems(records));
    data->setData(QString::fromLatin1(kClipboardOriginFormat), EncodeOrigin(origin_, identities));
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setMimeData(data);
    if (!Offered()) {
        prompt.Tell(kCannotOpen, MsgIcon::Error);
        return false;
    }
    return true;
}

bool ClipboardTransfer::Offered()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasFormat(QString::fromLatin1(kClipboardFormat));
}

std::optional<std::vector<PastedItem>> ClipboardTransfer::Take(IPrompt& prompt) const
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QString::fromLatin1(kClipboardFormat))) {
        prompt.Tell(kNoData, MsgIcon::Error);
        return std::nullopt;
    }
    const std::vector<ClipboardItem> records = DecodeClipboardItems(data->data(QString::fromLatin1(kClipboardFormat)));
    const std::optional<std::vector<uint64_t>> identities =
        DecodeOrigin(data->data(QString::fromLatin1(kClipboardOriginFormat)), origin_, records.size());
    std::vector<PastedItem> items;
    // Records of another document name nothing here.
    if (!identities) return items;
    for (size_t i = 0; i < records.size(); ++i) {
        const ClipboardItem& r = records[i];
        items.push_back(
            {(r.flags & kClipItemIsFile) != 0, (r.flags & kClipItemIsCopy) != 0, (*identities)[i], r.reference});
    }
    return items;
}

std::optional<size_t> ClipboardTransfer::EntryOf(const PastedItem& item) const
{
    if (!item.isFile) return std::nullopt;
    return catalogue_.EntryIndexOf(item.identity, item.reference);
}

Folder* ClipboardTransfer::FolderOf(const PastedItem& item) const
{
    return item.isFile ? nullptr : catalogue_.FolderByHandle(item.reference);
}

}  // namespace tarvex
