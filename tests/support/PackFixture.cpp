#include "tests/support/PackFixture.h"

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "schemes/Extraction.h"

namespace tarvex::test {

KeySchedule KeysFor(const std::string& password)
{
    return MakeKeySchedule(DerivePasswordBlocks(Utf8ToGbk(password).value_or(password)));
}

Folder& PackDoc::FolderAt(const std::string& packPath)
{
    Folder* folder = &catalogue.Root();
    for (const std::string& part : SplitGbkPath(packPath)) {
        Folder* next = nullptr;
        for (const auto& child : folder->children)
            if (child->name == part) next = child.get();
        folder = next ? next : catalogue.InsertFolder(part, -1, *folder);
    }
    return *folder;
}

size_t PackDoc::AddFile(const TempDir& dir, const std::string& packPath, const std::vector<uint8_t>& bytes,
                        uint8_t scheme)
{
    std::vector<std::string> parts = SplitGbkPath(packPath);
    const std::string name = parts.back();
    parts.pop_back();
    std::string folderPath;
    for (const auto& p : parts) folderPath += p + "\\";
    Folder& folder = FolderAt(folderPath);
    // Each source file sits in its own folder so that equal names may come
    // from different places.
    const std::string source =
        dir.Write("src" + std::to_string(catalogue.Entries().size()) + "/" + GbkToUtf8(name).value(), bytes);
    FileEntry entry;
    entry.name = name;
    entry.sourcePath = source;
    entry.fileSize = static_cast<uint32_t>(bytes.size());
    entry.encodedSize = scheme == 0 ? entry.fileSize : kUnknownSize;
    entry.folderId = folder.id;
    entry.scheme = scheme;
    return catalogue.AppendEntry(std::move(entry));
}

bool PackDoc::Save(const std::string& path, const std::string& password, StoreOptions options)
{
    SchemeDispatch dispatch(catalogue, prompt, plugins);
    return archive.Store(path, password.empty() ? KeySchedule{} : KeysFor(password), dispatch, prompt, options);
}

bool PackDoc::Open(const std::string& path, const std::string& password)
{
    if (!password.empty()) prompt.passwords.push_back(DerivePasswordBlocks(Utf8ToGbk(password).value()));
    return archive.Load(path, prompt);
}

std::map<std::string, std::vector<uint8_t>> PackDoc::Contents()
{
    std::map<std::string, std::vector<uint8_t>> files;
    PackExtractor extractor(archive, prompt, plugins);
    if (!extractor.Open()) return files;
    const auto paths = FolderPathsById(catalogue);
    for (size_t i = 0; i < catalogue.Entries().size(); ++i) {
        ByteBuffer bytes;
        const std::string key = EntryPackPath(paths, catalogue.Entries()[i]);
        if (extractor.Decode(i, bytes)) {
            files[key].assign(bytes.data(), bytes.data() + bytes.size());
        } else {
            files[key] = {'<', 'F', 'A', 'I', 'L', '>'};
        }
    }
    return files;
}

std::map<std::string, uint16_t> PackDoc::Folders() const
{
    std::map<std::string, uint16_t> folders;
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* f = pending.back();
        pending.pop_back();
        if (f->parent) folders[PackPathOf(*f)] = f->id;
        for (const auto& c : f->children) pending.push_back(c.get());
    }
    return folders;
}

}  // namespace tarvex::test
