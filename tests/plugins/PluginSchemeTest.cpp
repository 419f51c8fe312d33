// Plug-in schemes through the scheme dispatch: buffer sizes, saving packs
// with a module, extracting through it, and every failure with its message.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "schemes/Extraction.h"
#include "schemes/SchemeId.h"
#include "schemes/TreeExtraction.h"
#include "tests/plugins/ModuleFolder.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::InstallModules;
using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

// What the test modules store: the length, then the bytes XOR 0xA5.
std::vector<uint8_t> TestEncoding(const std::vector<uint8_t>& bytes, size_t pad = 0)
{
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    std::vector<uint8_t> out = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                                static_cast<uint8_t>(n >> 24)};
    for (uint8_t b : bytes) out.push_back(b ^ 0xA5);
    out.insert(out.end(), pad, 0xEE);
    return out;
}

// Reads back what a recording test module (TM_RECORD) saw. It keeps the
// module loaded meanwhile: the host's loads of the same file share its
// counters.
class CallRecord {
public:
    struct Seen {
        uint32_t calls = 0;
        uint32_t away = 0;  // from another thread than the one that started
        uint32_t mostAtOnce = 0;
    };
    explicit CallRecord(const std::string& path)
    {
        std::string error;
        module_ = LoadedModule::Open(path, error);
        EXPECT_TRUE(module_) << error;
    }
    // Starts afresh; calls from this thread count as at home.
    void Start() const { module_->Find<void (*)()>("tmStartRecording")(); }
    Seen Read() const
    {
        Seen seen;
        module_->Find<void (*)(uint32_t*, uint32_t*, uint32_t*)>("tmRecording")(&seen.calls, &seen.away,
                                                                                 &seen.mostAtOnce);
        return seen;
    }

private:
    std::optional<LoadedModule> module_;
};

class PluginPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = InstallModules(dir, {"t-full.edl", "t-nodecode.edl", "t-decodefails.edl", "t-encodefails.edl",
                                      "t-overlong.edl", "t-nolength.edl", "t-zerolength.edl", "t-fillsbuffer.edl",
                                      "t-bounded.edl", "t-noencode.edl", "t-serial.edl", "t-parallel.edl",
                                      "t-saysno.edl"});
        doc.plugins = PluginHost(folder);
    }
    uint8_t Use(const std::string& module)
    {
        return doc.catalogue.AddPlugin(module, "Test " + module.substr(2, module.size() - 6), 0x01020304).value();
    }
    std::vector<uint8_t> Raw(size_t index)
    {
        PackExtractor extractor(doc.archive, doc.prompt, doc.plugins);
        ByteBuffer raw;
        if (!extractor.Open() || !extractor.ReadRaw(index, raw)) return {};
        return {raw.data(), raw.data() + raw.size()};
    }

    TempDir dir;
    std::string folder;
    PackDoc doc;
    std::string path = dir / "p.epk";
    const std::vector<uint8_t> text = test::TextLikeBytes(5000, 7);
};

TEST_F(PluginPack, GetMemNeededAsksTheModule)
{
    SchemeDispatch dispatch(doc.catalogue, doc.prompt, doc.plugins);
    EXPECT_EQ(dispatch.GetMemNeeded(100, Use("t-fillsbuffer.edl")), 4u + 100 + 32);
    EXPECT_EQ(dispatch.GetMemNeeded(100, Use("t-full.edl")), 104u);
    EXPECT_EQ(dispatch.GetMemNeeded(100, Use("t-gone.edl")), 0u);        // no such module
    EXPECT_EQ(dispatch.GetMemNeeded(100, Use("t-noencode.edl")), 104u);  // asked only for its size
    EXPECT_EQ(dispatch.GetMemNeeded(100, 0x80 + 10), 0u);                // no such slot
    EXPECT_TRUE(doc.prompt.messages.empty());
}

TEST_F(PluginPack, FilesRoundTripThroughTheirModuleWithTheExactStoredBytes)
{
    struct Case {
        const char* module;
        size_t pad;
        const char* password;
    };
    for (const Case& c : {Case{"t-full.edl", 0, ""}, Case{"t-full.edl", 0, "口令"}, Case{"t-fillsbuffer.edl", 32, ""},
                          Case{"t-bounded.edl", 0, "pw"}, Case{"t-nodecode.edl", 0, ""}}) {
        SCOPED_TRACE(c.module);
        PackDoc d;
        d.plugins = doc.plugins;
        const uint8_t scheme = d.catalogue.AddPlugin(c.module, "Test", 7).value();
        const std::vector<uint8_t> one = {42};
        d.AddFile(dir, Utf8ToGbk("文本\\a.txt").value(), text, scheme);
        d.AddFile(dir, "b.bin", one, scheme);
        d.AddFile(dir, "c.lz", text, kSchemeLz);
        ASSERT_TRUE(d.Save(path, c.password)) << ::testing::PrintToString(d.prompt.Texts());
        ASSERT_TRUE(d.Open(path, c.password));

        ASSERT_EQ(d.catalogue.Plugins().size(), 1u);
        EXPECT_EQ(d.catalogue.Plugins()[0].moduleFile, c.module);
        EXPECT_EQ(d.catalogue.Entries()[0].scheme, 0x80);
        // Kept as the module's scheme although its encoding is not smaller.
        EXPECT_EQ(d.catalogue.Entries()[0].storedEncodedSize, text.size() + 4 + c.pad);
        PackExtractor extractor(d.archive, d.prompt, d.plugins);
        ByteBuffer raw;
        ASSERT_TRUE(extractor.Open() && extractor.ReadRaw(0, raw));
        EXPECT_EQ(std::vector<uint8_t>(raw.data(), raw.data() + raw.size()), TestEncoding(text, c.pad));

        const auto contents = d.Contents();
        if (std::string(c.module) == "t-nodecode.edl") {
            EXPECT_TRUE(d.prompt.Saw("没有找到扩展解码模块：t-nodecode.edl"));
            EXPECT_EQ(contents.at("c.lz"), text);
            continue;
        }
        EXPECT_EQ(contents.at(Utf8ToGbk("文本\\a.txt").value()), text);
        EXPECT_EQ(contents.at("b.bin"), one);
        EXPECT_EQ(contents.at("c.lz"), text);
        EXPECT_TRUE(d.prompt.messages.empty()) << d.prompt.Texts()[0];
    }
}

TEST_F(PluginPack, AnEncoderThatCannotBeLoadedEndsTheSaveAndKeepsTheOldPack)
{
    doc.AddFile(dir, "old.txt", text);
    ASSERT_TRUE(doc.Save(path));
    const std::vector<uint8_t> before = ReadFileBytes(path);
    const std::vector<std::string> files = dir.List();

    struct Case {
        const char* module;
        const char* message;
    };
    for (const Case& c : {
             Case{"t-gone.edl", "无法载入扩展编码组件:t-gone.edl"},
             Case{"t-noencode.edl", "无法载入扩展编码组件:t-noencode.edl"},
         }) {
        SCOPED_TRACE(c.module);
        PackDoc d;
        d.plugins = doc.plugins;
        d.AddFile(dir, "a.txt", text, d.catalogue.AddPlugin(c.module, "T", 1).value());
        EXPECT_FALSE(d.Save(path));
        EXPECT_EQ(d.prompt.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(d.prompt.messages.at(0).icon, MsgIcon::Error);
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(dir.List(), files);  // no temporary file left behind
        EXPECT_TRUE(d.catalogue.Records().empty());
    }
}

TEST_F(PluginPack, FilesWhoseEncoderBreaksAreStoredUnencodedAndNamedOnceTheSaveIsDone)
{
    const std::string inFolder = Utf8ToGbk("子\\b.txt").value();
    const std::vector<std::vector<uint8_t>> bytes = {text, test::TextLikeBytes(3000, 8), test::TextLikeBytes(2000, 9),
                                                     test::TextLikeBytes(1000, 10), test::TextLikeBytes(700, 11)};
    doc.AddFile(dir, "a.txt", bytes[0], Use("t-encodefails.edl"));
    doc.AddFile(dir, inFolder, bytes[1], Use("t-overlong.edl"));
    doc.AddFile(dir, "c.txt", bytes[2], Use("t-nolength.edl"));
    doc.AddFile(dir, "d.txt", bytes[3], Use("t-zerolength.edl"));
    doc.AddFile(dir, "e.txt", bytes[4], Use("t-full.edl"));
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(doc.prompt.Texts(),
              std::vector<std::string>{
                  "文件包已经存盘，但下面的文件无法用选定的编码方案编码，已按“不编码”原样存入：\n"
                  "扩展编码组件t-encodefails.edl无法编码文件a.txt。\n"
                  "扩展编码组件t-overlong.edl编码文件子\\b.txt时给出的长度（3005字节）超出了输出缓冲区（3004字节），"
                  "编码结果不能使用。\n"
                  "扩展编码组件t-nolength.edl编码文件c.txt时报告成功，却没有给出编码后的长度，编码结果不能使用。\n"
                  "扩展编码组件t-zerolength.edl编码文件d.txt时给出的长度为0字节，编码结果不能使用。"});
    EXPECT_EQ(doc.prompt.messages.at(0).icon, MsgIcon::Warning);

    // The catalogue now describes what the pack holds: the broken encoders'
    // files unencoded, byte for byte, the other file with its module.
    ASSERT_TRUE(doc.Open(path));
    for (size_t i = 0; i < bytes.size(); ++i) {
        SCOPED_TRACE(i);
        const FileEntry& entry = doc.catalogue.Entries()[i];
        const bool encoded = i == 4;
        if (encoded) {
            ASSERT_TRUE(IsPluginScheme(entry.scheme));
            EXPECT_EQ(doc.catalogue.Plugins().at(PluginSlotOf(entry.scheme)).moduleFile, "t-full.edl");
        } else {
            EXPECT_EQ(entry.scheme, kSchemeNone);
        }
        EXPECT_EQ(Raw(i), encoded ? TestEncoding(bytes[i]) : bytes[i]);
    }
    EXPECT_EQ(doc.Contents().at(inFolder), bytes[1]);
    EXPECT_EQ(doc.prompt.messages.size(), 1u);
}

TEST_F(PluginPack, EncodeBufferGivesTheModulesAnswerAndNeverOverrunsTheCaller)
{
    SchemeDispatch dispatch(doc.catalogue, doc.prompt, doc.plugins);
    const uint8_t full = Use("t-full.edl");
    std::vector<uint8_t> out(dispatch.GetMemNeeded(5000, full));
    uint32_t length = 0;
    EXPECT_TRUE(dispatch.EncodeBuffer(text, out, length, full, "a.txt"));  // bigger, but encoded
    EXPECT_EQ(length, 5004u);
    EXPECT_EQ(out, TestEncoding(text));

    // A buffer smaller than the module asks for is not handed to it.
    std::vector<uint8_t> small(5010, 0x11);
    length = 0;
    EXPECT_FALSE(dispatch.EncodeBuffer(text, std::span(small).first(5003), length, full, "a.txt"));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(small, std::vector<uint8_t>(5010, 0x11));
    EXPECT_EQ(doc.prompt.Texts(),
              std::vector<std::string>{
                  "扩展编码组件t-full.edl编码文件a.txt时给出的长度（5004字节）超出了输出缓冲区（5003字节），"
                  "编码结果不能使用。"});
}

TEST_F(PluginPack, DecodeFailuresAreReportedAndWriteNoFile)
{
    struct Case {
        const char* savedWith;    // the module that encodes
        const char* extractWith;  // the module file the slot names when extracting
        const char* message;
    };
    for (const Case& c : {
             Case{"t-full.edl", "t-gone.edl", "没有找到扩展解码模块：t-gone.edl"},
             Case{"t-full.edl", "t-nodecode.edl", "没有找到扩展解码模块：t-nodecode.edl"},
             Case{"t-full.edl", "t-decodefails.edl", "解码失败！t-decodefails.edl@a.txt"},
             // A pack must not lead the program to a module outside its folder.
             Case{"t-full.edl", "..\\t-full.edl", "没有找到扩展解码模块：..\\t-full.edl"},
             Case{"t-full.edl", "../t-full.edl", "没有找到扩展解码模块：../t-full.edl"},
         }) {
        SCOPED_TRACE(c.extractWith);
        InstallModules(dir, {"t-full.edl"}, TEST_MODULE_DIR, ".");
        PackDoc d;
        d.plugins = doc.plugins;
        d.AddFile(dir, "a.txt", text, d.catalogue.AddPlugin(c.savedWith, "T", 1).value());
        d.AddFile(dir, "b.txt", text, kSchemeRle);
        ASSERT_TRUE(d.Save(path));
        d.catalogue.Plugins()[0].moduleFile = c.extractWith;

        dir.MakeDir("out");
        EXPECT_FALSE(ExtractDecoded(d.archive, 0, dir / "out", "a.txt", d.prompt, d.plugins));
        EXPECT_EQ(d.prompt.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(d.prompt.messages.at(0).icon, MsgIcon::Error);
        EXPECT_FALSE(std::filesystem::exists(dir / "out/a.txt"));
        // The file of another scheme still comes out.
        EXPECT_TRUE(ExtractDecoded(d.archive, 1, dir / "out", "", d.prompt, d.plugins));
        EXPECT_EQ(ReadFileBytes(dir / "out/b.txt"), text);
        std::filesystem::remove_all(dir / "out");
    }
}

TEST_F(PluginPack, ASchemeBeyondThePlugInTableIsReported)
{
    SchemeDispatch dispatch(doc.catalogue, doc.prompt, doc.plugins);
    const std::vector<uint8_t> stored = TestEncoding(text);
    ByteBuffer out;
    EXPECT_FALSE(dispatch.Decode(stored, static_cast<uint32_t>(text.size()), out, 0x85, Utf8ToGbk("图.png").value()));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{"没有找到合适的扩展解码模块，无法解压缩：图.png"});
}

TEST_F(PluginPack, ThreadSafeOnlyForASlotWhoseModuleLoadsAndDeclaresIt)
{
    struct Case {
        const char* module;
        bool threadSafe;
    };
    const std::vector<Case> cases = {{"t-parallel.edl", true}, {"t-serial.edl", false}, {"t-saysno.edl", false},
                                     {"t-gone.edl", false},    {"../t-parallel.edl", false}};
    for (const Case& c : cases) doc.catalogue.AddPlugin(c.module, c.module, 1);
    SchemeDispatch dispatch(doc.catalogue, doc.prompt, doc.plugins);
    const std::unique_ptr<ISchemeCoder> twin = dispatch.ReportingTo(doc.prompt);
    for (size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(dispatch.ThreadSafe(static_cast<uint8_t>(0x80 + k)), cases[k].threadSafe) << cases[k].module;
        EXPECT_EQ(twin->ThreadSafe(static_cast<uint8_t>(0x80 + k)), cases[k].threadSafe) << cases[k].module;
    }
    for (uint8_t builtIn : {kSchemeNone, kSchemeRle, kSchemeLz}) EXPECT_TRUE(dispatch.ThreadSafe(builtIn));
    EXPECT_TRUE(doc.prompt.messages.empty());  // nothing said about the modules that did not load

    // The verdict is the module's: a slot that names another module since,
    // or one added since, is not thread-safe.
    doc.catalogue.Plugins()[0].moduleFile = "t-serial.edl";
    const uint8_t added = doc.catalogue.AddPlugin("t-parallel.edl", "added", 1).value();
    EXPECT_FALSE(dispatch.ThreadSafe(0x80));
    EXPECT_FALSE(twin->ThreadSafe(0x80));
    EXPECT_FALSE(dispatch.ThreadSafe(added));
}

TEST_F(PluginPack, OnlyAModuleThatDeclaresItIsCalledFromSeveralThreads)
{
    std::vector<std::vector<uint8_t>> contents;
    for (int i = 0; i < 30; ++i) contents.push_back(test::TextLikeBytes(100 + 200 * i, i));
    StoreOptions threads3;
    threads3.threads = 3;
    // Extraction runs on as many threads as there are cores.
    const bool severalCores = std::thread::hardware_concurrency() >= 2;

    for (const std::string module : {"t-serial.edl", "t-parallel.edl"}) {
        SCOPED_TRACE(module);
        const bool declares = module == "t-parallel.edl";
        const CallRecord record(folder + "/" + module);
        // Only on the thread that saves or extracts, one call at a time,
        // unless several threads may call: then on the pool's threads, or on
        // that thread when it runs a batch no thread of the pool has begun.
        const auto expectCalls = [&](const char* what, bool severalThreads) {
            SCOPED_TRACE(what);
            const CallRecord::Seen seen = record.Read();
            EXPECT_GT(seen.calls, 0u);
            if (!severalThreads) {
                EXPECT_EQ(seen.away, 0u);
                EXPECT_EQ(seen.mostAtOnce, 1u);
            }
        };

        // Saving: files of the module and LZ files between them.
        std::vector<std::vector<uint8_t>> packs;
        for (unsigned threads : {1u, 3u}) {
            PackDoc d;
            d.plugins = doc.plugins;
            const uint8_t scheme = d.catalogue.AddPlugin(module, "T", 1).value();
            for (int i = 0; i < 30; ++i)
                d.AddFile(dir, "f\\n" + std::to_string(i), contents[i], i % 3 == 0 ? kSchemeLz : scheme);
            record.Start();
            StoreOptions options;
            options.threads = threads;
            ASSERT_TRUE(d.Save(path, "", options));
            expectCalls("save", declares && threads > 1);
            packs.push_back(ReadFileBytes(path));
        }
        EXPECT_EQ(packs[0], packs[1]);

        // Re-encoding swaps the schemes: the module decodes some files and
        // encodes the others.
        PackDoc d;
        d.plugins = doc.plugins;
        ASSERT_TRUE(d.Open(path));
        for (size_t i = 0; i < contents.size(); ++i)
            SetEntryScheme(d.catalogue, i, d.catalogue.Entries()[i].scheme == kSchemeLz ? 0x80 : kSchemeLz, d.prompt);
        record.Start();
        ASSERT_TRUE(d.Save(dir / "re.epk", "", threads3));
        expectCalls("re-encode", declares);

        // Extracting the tree.
        ASSERT_TRUE(d.Open(dir / "re.epk"));
        PackExtractor extractor(d.archive, d.prompt, d.plugins);
        ASSERT_TRUE(extractor.Open());
        const std::string out = dir.MakeDir("out-" + module);
        record.Start();
        const ExtractionReport report = ExtractFolderTree(extractor, d.catalogue, d.catalogue.Root(), out, d.prompt);
        expectCalls("extraction", declares && severalCores);
        EXPECT_EQ(report.written, contents.size());
        for (size_t i = 0; i < contents.size(); ++i)
            EXPECT_EQ(ReadFileBytes(out + "/f/n" + std::to_string(i)), contents[i]) << i;
        EXPECT_TRUE(d.prompt.messages.empty()) << d.prompt.Texts()[0];
    }
}

TEST_F(PluginPack, TheShippedModulesSaveTheSameBytesOnEveryCoreAndExtractExactly)
{
    std::vector<std::vector<uint8_t>> contents;
    for (int i = 0; i < 40; ++i)
        contents.push_back(i % 10 == 9 ? test::RandomBytes(3000, i) : test::TextLikeBytes(500 + 400 * i, i));
    for (const std::string& module : test::ShippedModules()) {
        SCOPED_TRACE(module);
        std::vector<std::vector<uint8_t>> packs;
        for (unsigned threads : {1u, 2u, 0u}) {
            PackDoc d;
            d.plugins = PluginHost(SHIPPED_MODULE_DIR);
            const uint8_t scheme = d.catalogue.AddPlugin(module, module, 1).value();
            for (size_t i = 0; i < contents.size(); ++i) d.AddFile(dir, "d\\n" + std::to_string(i), contents[i], scheme);
            StoreOptions options;
            options.threads = threads;
            ASSERT_TRUE(d.Save(path, "pw", options)) << threads << " threads";
            packs.push_back(ReadFileBytes(path));
        }
        EXPECT_EQ(packs[1], packs[0]);
        EXPECT_EQ(packs[2], packs[0]);

        PackDoc d;
        d.plugins = PluginHost(SHIPPED_MODULE_DIR);
        ASSERT_TRUE(d.Open(path, "pw"));
        PackExtractor extractor(d.archive, d.prompt, d.plugins);
        ASSERT_TRUE(extractor.Open());
        const std::string out = dir.MakeDir("out-" + module);
        EXPECT_EQ(ExtractFolderTree(extractor, d.catalogue, d.catalogue.Root(), out, d.prompt).written,
                  contents.size());
        for (size_t i = 0; i < contents.size(); ++i)
            EXPECT_EQ(ReadFileBytes(out + "/d/n" + std::to_string(i)), contents[i]) << i;
        EXPECT_TRUE(d.prompt.messages.empty()) << d.prompt.Texts()[0];
    }
}

TEST_F(PluginPack, DamagedStreamsOfTheShippedModulesFailCleanly)
{
    PackDoc d;
    d.plugins = PluginHost(SHIPPED_MODULE_DIR);
    for (const std::string& module : test::ShippedModules()) {
        const uint8_t scheme = d.catalogue.AddPlugin(module, module, 1).value();
        d.AddFile(dir, module + ".txt", text, scheme);
    }
    ASSERT_TRUE(d.Save(path));
    ASSERT_TRUE(d.Open(path));
    EXPECT_EQ(d.Contents().size(), 3u);
    EXPECT_TRUE(d.prompt.messages.empty());

    // One byte in the middle of every stored stream changes on disk.
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    for (const PackRecord& r : d.catalogue.Records()) bytes.at(r.dataOffset + r.storedSize / 2) ^= 0x40;
    dir.Write("p.epk", bytes);
    ASSERT_TRUE(d.Open(path));
    for (const auto& [name, content] : d.Contents())
        EXPECT_EQ(content, std::vector<uint8_t>({'<', 'F', 'A', 'I', 'L', '>'}));
    std::vector<std::string> expected;
    for (const std::string& module : test::ShippedModules())
        expected.push_back("解码失败！" + module + "@" + module + ".txt");
    EXPECT_EQ(d.prompt.Texts(), expected);
}

}  // namespace
}  // namespace tarvex
