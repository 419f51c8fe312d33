#include "pack/TableWriter.h"

#include "talk/Messages.h"

namespace tarvex {

bool WriteTables(Saving& saving, const FolderNumbering& numbering)
{
    PackOutput& out = saving.out;
    Scrambler& scr = out.Tables();
    PackHeader& header = saving.header;
    const bool isProtected = saving.keys.IsProtected();
    const auto& entries = saving.catalogue.Entries();
    const auto& plugins = saving.plan.Plugins();

    header.flags = static_cast<uint8_t>(plugins.size() | (isProtected ? kProtectedFlag : 0));
    header.folderCount = static_cast<uint16_t>(numbering.images.size());
    header.fileCount = static_cast<uint32_t>(entries.size());
    uint64_t tableSize = 0;
    for (const FileEntry& e : entries) tableSize += 16 + e.name.size();
    if (tableSize > 0xFFFFFFFFu) return saving.Refuse(msg::kPackTooLarge);
    header.entryTableSize = static_cast<uint32_t>(tableSize);

    scr.Reset();
    if (!out.Put({reinterpret_cast<const uint8_t*>(kPackMagic.data()), 4}) || !out.PutU8(header.version) ||
        !out.PutU8(scr.Byte(header.flags, 7)) || !out.PutU16(scr.Word(header.folderCount)) ||
        !out.PutDword(header.fileCount) || !out.PutDword(header.entryTableSize))
        return false;

    for (const PluginSlot& slot : plugins) {
        if (!out.PutName(slot.providerName) || !out.PutName(slot.moduleFile) || !out.PutDword(slot.version))
            return false;
    }
    if (isProtected && !out.PutCheckBlock(scr.Byte(0) % 14 + 2)) return false;
    for (const FolderImage& folder : numbering.images) {
        if (!out.PutName(folder.name) || !out.PutU16(scr.Word(folder.first)) || !out.PutU16(scr.Word(folder.end)))
            return false;
    }
    if (isProtected && !out.PutCheckBlock(scr.Byte(0) % 14 + 2)) return false;
    return true;
}

bool WriteEntryTable(Saving& saving)
{
    PackOutput& out = saving.out;
    Scrambler& scr = out.Tables();
    if (saving.keys.IsProtected()) {
        unsigned length;
        do {
            length = scr.Byte(0) & 0x0F;
        } while (length == 0);
        if (!out.PutCheckBlock(length)) return false;
    }
    for (const PackRecord& r : saving.records) {
        if (!out.PutName(r.name) || !out.PutDword(r.dataOffset) || !out.PutDword(r.fileSize) ||
            !out.PutDword(r.storedSize) || !out.PutU16(scr.Word(r.folderId)) || !out.PutU8(scr.Byte(r.scheme)))
            return false;
    }
    return true;
}

}  // namespace tarvex
