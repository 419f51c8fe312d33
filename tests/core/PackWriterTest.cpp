// Saving: what goes into the pack for each kind of entry, and that a failed
// save leaves the old pack and the catalogue exactly as they were.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "codecs/LzCodec.h"
#include "schemes/Extraction.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

// A file's stored bytes, unscrambled.
std::vector<uint8_t> StoredBytes(PackDoc& d, const std::string& name)
{
    PackExtractor extractor(d.archive, d.prompt);
    ByteBuffer raw;
    const auto& entries = d.catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == name && extractor.Open() && extractor.ReadRaw(i, raw))
            return {raw.data(), raw.data() + raw.size()};
    return {};
}

// A saved and reopened pack of three files, kept open for editing.
class SavedPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackDoc first;
        first.AddFile(dir, "txt\\a.txt", test::TextLikeBytes(4000, 1), 2);
        first.AddFile(dir, "txt\\b.txt", test::TextLikeBytes(3000, 2), 1);
        first.AddFile(dir, "c.bin", test::RandomBytes(2000, 3));
        ASSERT_TRUE(first.Save(path, "pw"));
        expected = first.Contents();
        ASSERT_TRUE(doc.Open(path, "pw"));
        original = ReadFileBytes(path);
    }
    size_t IndexOf(const std::string& name) const
    {
        const auto& entries = doc.catalogue.Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].name == name) return i;
        return SIZE_MAX;
    }

    TempDir dir;
    std::string path = dir / "p.epk";
    PackDoc doc;
    std::map<std::string, std::vector<uint8_t>> expected;
    std::vector<uint8_t> original;
};

TEST_F(SavedPack, SavingOverItselfKeepsEveryByte)
{
    ASSERT_TRUE(doc.Save(path, "pw"));
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0", "src1", "src2"}));
}

TEST_F(SavedPack, ASchemeChangedAndChangedBackIsCopiedNotReencoded)
{
    const auto stored = StoredBytes(doc, "a.txt");
    const size_t a = IndexOf("a.txt");
    ASSERT_EQ(SetEntryScheme(doc.catalogue, a, 1, doc.prompt), EditResult::Done);
    EXPECT_EQ(doc.catalogue.Entries()[a].encodedSize, kUnknownSize);
    ASSERT_EQ(SetEntryScheme(doc.catalogue, a, 2, doc.prompt), EditResult::Done);
    EXPECT_EQ(doc.catalogue.Entries()[a].encodedSize, doc.catalogue.Entries()[a].storedEncodedSize);
    ASSERT_TRUE(doc.Save(path, "pw"));
    EXPECT_EQ(StoredBytes(doc, "a.txt"), stored);
}

TEST_F(SavedPack, AChangedSchemeIsDecodedAndEncodedAgain)
{
    const size_t a = IndexOf("a.txt");
    SetEntryScheme(doc.catalogue, a, 0, doc.prompt);
    SetEntryScheme(doc.catalogue, IndexOf("b.txt"), 2, doc.prompt);
    ASSERT_TRUE(doc.Save(dir / "q.epk"));
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(dir / "q.epk"));
    EXPECT_EQ(reopened.Contents(), expected);
    EXPECT_EQ(reopened.catalogue.Entries()[0].scheme, 0);
    EXPECT_EQ(StoredBytes(reopened, "a.txt"), expected.at("txt\\a.txt"));
}

TEST_F(SavedPack, ACopyOfAPackedFileTakesItsBytesFromThePack)
{
    Folder& other = doc.FolderAt("other");
    ASSERT_EQ(CopyFileEntry(doc.catalogue, other.id, IndexOf("a.txt"), doc.prompt), EditResult::Done);
    ASSERT_EQ(CopyFileEntry(doc.catalogue, other.id, IndexOf("c.bin"), doc.prompt), EditResult::Done);
    SetEntryScheme(doc.catalogue, doc.catalogue.Entries().size() - 1, 2, doc.prompt);  // the copy of c.bin
    ASSERT_TRUE(doc.Save(path, "pw"));
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(path, "pw"));
    auto want = expected;
    want["other\\a.txt"] = expected.at("txt\\a.txt");
    want["other\\c.bin"] = expected.at("c.bin");
    EXPECT_EQ(reopened.Contents(), want);
}

TEST_F(SavedPack, RemovingAnEntryBeforeANewOneKeepsEveryFileItsBytes)
{
    doc.AddFile(dir, "new.txt", test::TextLikeBytes(100, 9));
    doc.catalogue.RemoveEntry(0);  // the new entry moves into place 0
    ASSERT_TRUE(doc.Save(path, "pw"));
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(path, "pw"));
    auto want = expected;
    want.erase("txt\\a.txt");
    want["new.txt"] = test::TextLikeBytes(100, 9);
    EXPECT_EQ(reopened.Contents(), want);
}

TEST_F(SavedPack, AFailedSaveLeavesPackAndCatalogueAsTheyWere)
{
    doc.FolderAt("more\\deeper");
    const std::string gone = dir.Write("gone.txt", std::string("soon gone"));
    ASSERT_EQ(AddFileEntry(doc.catalogue, doc.FolderAt("more").id, gone, doc.prompt), EditResult::Done);
    const auto foldersBefore = doc.Folders();
    const auto recordsBefore = doc.catalogue.Records().size();
    ::unlink(gone.c_str());

    EXPECT_FALSE(doc.Save(path, "other"));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kReadFailed, "gone.txt") + SystemErrorText(ENOENT)});
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0", "src1", "src2"}));
    EXPECT_EQ(doc.Folders(), foldersBefore);
    EXPECT_EQ(doc.catalogue.Records().size(), recordsBefore);
    EXPECT_EQ(doc.archive.Path(), path);

    // Put right, the next save succeeds and still finds the old pack's bytes.
    dir.Write("gone.txt", std::string("back again"));
    ASSERT_TRUE(doc.Save(path, "other"));
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(path, "other"));
    auto want = expected;
    want["more\\gone.txt"] = {'b', 'a', 'c', 'k', ' ', 'a', 'g', 'a', 'i', 'n'};
    EXPECT_EQ(reopened.Contents(), want);
}

TEST_F(SavedPack, ASaveAbandonedBeforeItsCommitLeavesEverythingAsItWasAndSaysNothing)
{
    doc.FolderAt("more");
    const auto foldersBefore = doc.Folders();
    StoreOptions options;
    bool asked = false;
    options.beforeCommit = [&] {
        asked = true;
        return false;
    };
    EXPECT_FALSE(doc.Save(path, "other", options));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(doc.prompt.Texts().empty());
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0", "src1", "src2"}));
    EXPECT_EQ(doc.Folders(), foldersBefore);

    ASSERT_TRUE(doc.Save(path, "other"));  // still reads the old pack's bytes
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(path, "other"));
    EXPECT_EQ(reopened.Contents(), expected);
}

TEST_F(SavedPack, ADamagedOldPackFailsTheSaveInsteadOfStoringGarbage)
{
    const std::string copy = dir / "copy.epk";
    ASSERT_EQ(::truncate(path.c_str(), 40), 0);  // the stored data is gone
    EXPECT_FALSE(doc.Save(copy, "pw"));
    EXPECT_FALSE(doc.prompt.messages.empty());
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0", "src1", "src2"}));
}

TEST(PackWriter, SchemesThatCannotShrinkAFileStoreWhatTheyWrote)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "rle.bin", test::RandomBytes(500, 1), 1);   // RLE declines
    doc.AddFile(dir, "lz.bin", test::RandomBytes(500, 2), 2);    // LZ is larger
    doc.AddFile(dir, "tiny", {'x'}, 2);
    ASSERT_TRUE(doc.Save(dir / "p.epk"));
    const auto& records = doc.catalogue.Records();
    EXPECT_EQ(records[0].scheme, 0);
    EXPECT_EQ(records[0].storedSize, 500u);
    EXPECT_EQ(records[1].scheme, 2);
    EXPECT_GT(records[1].storedSize, 500u);
    EXPECT_EQ(records[2].storedSize, 5u);

    PackDoc fallback;
    fallback.AddFile(dir, "lz.bin", test::RandomBytes(500, 2), 2);
    fallback.AddFile(dir, "text", test::TextLikeBytes(5000, 2), 2);
    StoreOptions options;
    options.fallbackToNone = true;
    ASSERT_TRUE(fallback.Save(dir / "f.epk", "", options));
    EXPECT_EQ(fallback.catalogue.Records()[0].scheme, 0);
    EXPECT_EQ(fallback.catalogue.Records()[0].storedSize, 500u);
    EXPECT_EQ(fallback.catalogue.Records()[1].scheme, 2);
}

TEST(PackWriter, ATargetThatCannotBeWrittenIsReported)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "f", {'1'});
    EXPECT_FALSE(doc.Save(dir / "no/such/folder/p.epk"));
    ASSERT_EQ(doc.prompt.messages.size(), 1u);
    EXPECT_EQ(doc.prompt.messages[0].text.rfind("无法写入文件", 0), 0u) << doc.prompt.messages[0].text;
    EXPECT_FALSE(doc.archive.IsLoaded());
    EXPECT_FALSE(doc.catalogue.Entries()[0].IsCarriedOver());
}

TEST(PackWriter, FilesMadeOnManyThreadsGiveTheSameBytesAsOne)
{
    TempDir dir;
    std::vector<std::vector<uint8_t>> packs;
    for (unsigned threads : {1u, 2u, 7u}) {
        PackDoc doc;
        for (int i = 0; i < 60; ++i) {
            const auto bytes = i % 3 == 0 ? test::RandomBytes(100 + 37 * i, i) : test::TextLikeBytes(50 + 400 * i, i);
            doc.AddFile(dir, "f\\" + std::to_string(i % 7) + "\\n" + std::to_string(i), bytes,
                        static_cast<uint8_t>(i % 3));
        }
        StoreOptions options;
        options.threads = threads;
        ASSERT_TRUE(doc.Save(dir / "p.epk", "pw", options));
        packs.push_back(ReadFileBytes(dir / "p.epk"));
        // Re-saved from itself with other schemes: decoded and re-encoded in parallel.
        for (size_t i = 0; i < doc.catalogue.Entries().size(); i += 2) SetEntryScheme(doc.catalogue, i, 2, doc.prompt);
        ASSERT_TRUE(doc.Save(dir / "p.epk", "pw", options));
        packs.push_back(ReadFileBytes(dir / "p.epk"));
    }
    EXPECT_EQ(packs[0], packs[2]);
    EXPECT_EQ(packs[0], packs[4]);
    EXPECT_EQ(packs[1], packs[3]);
    EXPECT_EQ(packs[1], packs[5]);
}

// Large files stored as they are go to the pack piece by piece, scrambled
// with the password's key; the last piece ends inside a 16-byte key stride.
TEST(PackWriter, LargeFilesCopiedInPiecesKeepTheirBytes)
{
    TempDir dir;
    PackDoc doc;
    const std::vector<uint8_t> big = test::RandomBytes((9 << 20) + 4099, 5);
    doc.AddFile(dir, "a\\small.txt", test::TextLikeBytes(1000, 1));
    doc.AddFile(dir, "a\\big.bin", big);
    doc.AddFile(dir, "after.txt", test::TextLikeBytes(5000, 2), 2);
    ASSERT_TRUE(doc.Save(dir / "p.epk", "pw"));
    const std::vector<uint8_t> saved = ReadFileBytes(dir / "p.epk");
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(dir / "p.epk", "pw"));
    EXPECT_EQ(reopened.Contents().at("a\\big.bin"), big);
    EXPECT_EQ(reopened.Contents().at("after.txt"), test::TextLikeBytes(5000, 2));

    // A file that changed on disk since it was added is stored as it is now,
    // large or small when it was added, large or small now.
    for (const size_t added : {big.size(), size_t{1000}}) {
        for (const std::vector<uint8_t>& now :
             {test::RandomBytes((10 << 20) + 1, 6), test::RandomBytes(1000, 7), test::RandomBytes(1001, 8),
              std::vector<uint8_t>{}}) {
            PackDoc changed;
            changed.AddFile(dir, "a\\small.txt", test::TextLikeBytes(1000, 1));
            const size_t index = changed.AddFile(dir, "a\\big.bin", test::RandomBytes(added, 5));
            const std::string path = changed.catalogue.Entries()[index].sourcePath;
            dir.Write(path.substr(dir.Path().size() + 1), now);
            ASSERT_TRUE(changed.Save(dir / "q.epk", "pw"));
            PackDoc read;
            ASSERT_TRUE(read.Open(dir / "q.epk", "pw"));
            EXPECT_EQ(read.Contents().at("a\\big.bin"), now) << added << " bytes, now " << now.size();
        }
    }
    EXPECT_EQ(ReadFileBytes(dir / "p.epk"), saved);
}

// Carried-over files go over in runs of neighbours: re-scrambled piece by
// piece when the password changes (each file's key restarting at its first
// byte, inside a piece too), copied as they are when it stays.
TEST(PackWriter, CarriedOverFilesKeepTheirBytesWhateverThePasswordBecomes)
{
    TempDir dir;
    PackDoc doc;
    const std::vector<size_t> sizes = {0, 17, (1 << 20) + 5, 3, (5 << 19) + 9, 1000};
    for (size_t i = 0; i < sizes.size(); ++i)
        doc.AddFile(dir, "f\\n" + std::to_string(i), test::RandomBytes(sizes[i], static_cast<uint32_t>(i)));
    doc.AddFile(dir, "coded.txt", test::TextLikeBytes(5000, 9), 2);
    ASSERT_TRUE(doc.Save(dir / "p.epk", "one"));
    // A copy's bytes lie elsewhere in the pack, and a removal moves the last
    // entry into place 1: both break a run.
    ASSERT_EQ(CopyFileEntry(doc.catalogue, doc.FolderAt("g").id, 4, doc.prompt), EditResult::Done);
    doc.catalogue.RemoveEntry(1);
    ASSERT_TRUE(doc.Save(dir / "p.epk", "one"));
    const auto expected = doc.Contents();
    ASSERT_EQ(expected.size(), sizes.size() + 1);

    for (const std::string password : {"two", "two", "", "", "three"}) {
        SCOPED_TRACE("password \"" + password + "\"");
        ASSERT_TRUE(doc.Save(dir / "p.epk", password));
        PackDoc reopened;
        ASSERT_TRUE(reopened.Open(dir / "p.epk", password));
        EXPECT_EQ(reopened.Contents(), expected);
    }
}

// Long coded files are encoded as they are read, window by window, into the
// bytes the whole file gives at once. A literal run that reaches back into
// earlier windows is copied from the source again; a file whose encoding
// would not be smaller is stored as it is, and what was written of its
// encoding is dropped.
TEST(PackWriter, LongCodedFilesAreEncodedAsTheyAreRead)
{
    TempDir dir;
    const std::vector<uint8_t> text = test::TextLikeBytes((20 << 20) + 5, 1);
    std::vector<uint8_t> mixed = test::RandomBytes(14 << 20, 2);
    const std::vector<uint8_t> tail = test::TextLikeBytes(6 << 20, 3);
    mixed.insert(mixed.end(), tail.begin(), tail.end());
    // Its start is encoded and written before the rest shows it cannot shrink.
    std::vector<uint8_t> noisy = test::TextLikeBytes(12 << 10, 6);
    const std::vector<uint8_t> noise = test::RandomBytes(17 << 20, 4);
    noisy.insert(noisy.end(), noise.begin(), noise.end());
    const std::map<std::string, std::vector<uint8_t>> expected = {{"text.txt", text},
                                                                  {"random.bin", noisy},
                                                                  {"mixed.bin", mixed},
                                                                  {"after.txt", test::TextLikeBytes(5000, 5)}};
    std::vector<uint8_t> whole(3 * text.size());
    whole.resize(LzEncode(text, whole));
    for (const auto& [fallback, password] :
         {std::pair{true, std::string()}, std::pair{true, std::string("pw")}, std::pair{false, std::string("pw")}}) {
        SCOPED_TRACE("password \"" + password + "\"" + (fallback ? ", stored as it is where not smaller" : ""));
        PackDoc doc;
        for (const char* name : {"text.txt", "random.bin", "mixed.bin", "after.txt"})
            doc.AddFile(dir, name, expected.at(name), 2);
        StoreOptions options;
        options.fallbackToNone = fallback;
        ASSERT_TRUE(doc.Save(dir / "p.epk", password, options));
        PackDoc reopened;
        ASSERT_TRUE(reopened.Open(dir / "p.epk", password));
        EXPECT_EQ(reopened.Contents(), expected);
        std::vector<uint8_t> schemes;
        for (const FileEntry& entry : reopened.catalogue.Entries()) schemes.push_back(entry.scheme);
        EXPECT_EQ(schemes, (std::vector<uint8_t>{2, static_cast<uint8_t>(fallback ? 0 : 2), 2, 2}));
        EXPECT_EQ(StoredBytes(reopened, "text.txt"), whole);
    }
}

// A large file stored as it is is copied from its source when its turn
// comes, a large coded one encoded as it is read; one that grows or shrinks
// meanwhile fails the save.
TEST(PackWriter, ASourceThatChangesSizeWhileItIsCopiedFailsTheSave)
{
    TempDir dir;
    const std::string old = dir.Write("p.epk", std::string("the old pack"));
    // With a password the file goes in 1 MiB pieces, without one in the
    // kernel, 16 MiB a call; coded, window by window.
    struct Case {
        const char* password;
        size_t size;
        uint8_t scheme;
    };
    for (const auto& [password, size, scheme] :
         {Case{"pw", 3 << 20, 0}, Case{"", 17 << 20, 0}, Case{"pw", 30 << 20, 2}}) {
        for (const bool grows : {true, false}) {
            SCOPED_TRACE(std::string(grows ? "grows" : "shrinks") + (*password ? " with" : " without") +
                         " a password, scheme " + std::to_string(scheme));
            PackDoc doc;
            const size_t index = doc.AddFile(
                dir, "big.bin", scheme ? test::TextLikeBytes(size, 1) : test::RandomBytes(size, 1), scheme);
            const std::string source = doc.catalogue.Entries()[index].sourcePath;
            bool changed = false;
            doc.prompt.onProgressBytes = [&](uint64_t done) {
                if (changed || done < (1 << 20)) return;
                changed = true;
                ASSERT_EQ(::truncate(source.c_str(), static_cast<off_t>(grows ? size + 10 : size / 2)), 0);
            };
            EXPECT_FALSE(doc.Save(old, password));
            EXPECT_TRUE(changed);
            EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kFileChanged, "big.bin")});
            EXPECT_EQ(test::ReadFileBytes(old), (std::vector<uint8_t>{'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'p', 'a', 'c', 'k'}));
        }
    }
}

TEST(PackWriter, AFailureAmongParallelFilesIsReportedInOrderAndOnce)
{
    TempDir dir;
    PackDoc doc;
    for (int i = 0; i < 40; ++i) doc.AddFile(dir, "n" + std::to_string(i), test::TextLikeBytes(3000, i), 2);
    for (int gone : {17, 23, 31}) ::unlink(doc.catalogue.Entries()[gone].sourcePath.c_str());
    StoreOptions options;
    options.threads = 4;
    EXPECT_FALSE(doc.Save(dir / "p.epk", "", options));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kReadFailed, "n17") + SystemErrorText(ENOENT)});
    EXPECT_EQ(doc.prompt.progressSteps, 17u);
}

// Stands for a plug-in module in front of the dispatch: not thread-safe, so
// every encode must come from the saving thread. It records each encode
// (marking one from another thread) and may delete a source file while it
// encodes an earlier one.
class ModuleStandIn final : public ISchemeCoder {
public:
    ModuleStandIn(SchemeDispatch& inner, std::vector<std::string>& calls, std::string victim = {},
                  std::thread::id saver = std::this_thread::get_id())
        : inner_(inner), calls_(calls), victim_(std::move(victim)), saver_(saver)
    {
    }
    uint32_t MemNeeded(uint32_t n, uint8_t scheme) override { return inner_.MemNeeded(n, scheme); }
    EncodeStatus Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen, uint8_t scheme,
                        const std::string& name, std::string& fault) override
    {
        calls_.push_back(std::this_thread::get_id() == saver_ ? name : name + " on another thread");
        if (!victim_.empty()) ::unlink(victim_.c_str());
        return inner_.Encode(input, output, storedLen, scheme, name, fault);
    }
    bool Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                const std::string& name) override
    {
        return inner_.Decode(stored, fileSize, out, scheme, name);
    }
    bool ThreadSafe(uint8_t) const override { return false; }
    std::unique_ptr<ISchemeCoder> ReportingTo(IPrompt&) const override
    {
        return std::make_unique<ModuleStandIn>(inner_, calls_, victim_, saver_);
    }

private:
    SchemeDispatch& inner_;
    std::vector<std::string>& calls_;
    std::string victim_;
    std::thread::id saver_;
};

TEST(PackWriter, AModuleIsCalledOnlyFromTheSavingThreadInTheOrderOfTheEntries)
{
    TempDir dir;
    std::vector<std::vector<uint8_t>> packs;
    for (unsigned threads : {1u, 4u}) {
        PackDoc doc;
        std::vector<std::string> names;
        for (int i = 0; i < 40; ++i) {
            names.push_back("n" + std::to_string(i));
            doc.AddFile(dir, names.back(), test::TextLikeBytes(100 + 300 * i, i), 2);
        }
        SchemeDispatch dispatch(doc.catalogue, doc.prompt);
        std::vector<std::string> calls;
        ModuleStandIn coder(dispatch, calls);
        StoreOptions options;
        options.threads = threads;
        ASSERT_TRUE(doc.archive.Store(dir / "p.epk", KeySchedule{}, coder, doc.prompt, options));
        EXPECT_EQ(calls, names) << threads << " threads";
        packs.push_back(ReadFileBytes(dir / "p.epk"));
    }
    EXPECT_EQ(packs[0], packs[1]);
}

TEST(PackWriter, ASourceDeletedInTheMiddleOfTheSaveFailsItAndKeepsTheOldPack)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "first", test::TextLikeBytes(3000, 1), 2);
    doc.AddFile(dir, "second", test::TextLikeBytes(3000, 2), 2);
    const std::string old = dir.Write("p.epk", std::string("the old pack"));
    SchemeDispatch dispatch(doc.catalogue, doc.prompt);
    std::vector<std::string> calls;
    ModuleStandIn coder(dispatch, calls, doc.catalogue.Entries()[1].sourcePath);
    EXPECT_FALSE(doc.archive.Store(old, KeySchedule{}, coder, doc.prompt));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kReadFailed, "second") + SystemErrorText(ENOENT)});
    EXPECT_EQ(calls, std::vector<std::string>{"first"});
    EXPECT_EQ(test::ReadFileBytes(old), (std::vector<uint8_t>{'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'p', 'a', 'c', 'k'}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"p.epk", "src0", "src1"}));
}

TEST(PackWriter, RefusesCataloguesBeyondTheFormatsLimits)
{
    TempDir dir;
    {
        PackDoc doc;
        for (int i = 0; i < 255; ++i) doc.catalogue.InsertFolder("f" + std::to_string(i), -1, doc.catalogue.Root());
        EXPECT_TRUE(doc.Save(dir / "255.epk"));
        doc.catalogue.InsertFolder("one more", -1, doc.catalogue.Root());
        EXPECT_FALSE(doc.Save(dir / "256.epk"));
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kTooManyFolders, 256)});
    }
    {
        PackDoc doc;
        doc.AddFile(dir, "ok", {'1'});
        doc.catalogue.Entries()[0].name = std::string(256, 'x');
        EXPECT_FALSE(doc.Save(dir / "long.epk"));
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kNameTooLong, std::string(256, 'x').c_str())});
    }
    {
        PackDoc doc;
        for (int k = 0; k < 128; ++k) {
            doc.catalogue.AddPlugin("m.edl", "p" + std::to_string(k), 1);
            doc.AddFile(dir, "f" + std::to_string(k), {'1'}, static_cast<uint8_t>(0x80 + k));
        }
        EXPECT_FALSE(doc.Save(dir / "plugins.epk"));
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kTooManyPlugins, 128)});
    }
    EXPECT_EQ(dir.List().size(), 1u + 128);  // 255.epk and the sources src0..src127 only
}

}  // namespace
}  // namespace tarvex
