#include "tests/support/PackLayout.h"

namespace tarvex::test {
namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutName(std::vector<uint8_t>& out, const std::string& name)
{
    out.push_back(static_cast<uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
}

}  // namespace

std::vector<uint8_t> PackLayout::Bytes() const
{
    uint32_t entryTableSize = 0;
    for (const LaidOutFile& f : files) entryTableSize += static_cast<uint32_t>(16 + f.name.size());
    std::vector<uint8_t> out = {'Z', 'V', 'P', 'K', 1, static_cast<uint8_t>(modules.size())};
    Put(out, static_cast<uint32_t>(folders.size()), 2);
    Put(out, static_cast<uint32_t>(files.size()), 4);
    Put(out, entryTableSize, 4);
    for (const LaidOutModule& m : modules) {
        PutName(out, m.providerName);
        PutName(out, m.moduleFile);
        Put(out, m.version, 4);
    }
    for (const LaidOutFolder& f : folders) {
        PutName(out, f.name);
        Put(out, f.first, 2);
        Put(out, f.end, 2);
    }
    std::vector<uint32_t> offsets;
    for (const LaidOutFile& f : files) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        out.insert(out.end(), f.stored.begin(), f.stored.end());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const LaidOutFile& f = files[i];
        PutName(out, f.name);
        Put(out, offsets[i], 4);
        Put(out, f.fileSize.value_or(static_cast<uint32_t>(f.stored.size())), 4);
        Put(out, static_cast<uint32_t>(f.stored.size()), 4);
        Put(out, f.folderId, 2);
        out.push_back(f.scheme);
    }
    return out;
}

}  // namespace tarvex::test
