// Plug-in schemes through the scheme dispatch: buffer sizes, saving packs
// with a module, extracting through it, and every failure with its message.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/GbkText.h"
#include "schemes/Extraction.h"
#include "schemes/SchemeId.h"
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

class PluginPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = InstallModules(dir, {"t-full.edl", "t-nodecode.edl", "t-decodefails.edl", "t-encodefails.edl",
                                      "t-overlong.edl", "t-fillsbuffer.edl", "t-bounded.edl", "t-noencode.edl"});
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
        if (!extractor.Open(doc.archive.Path()) || !extractor.ReadRaw(index, raw)) return {};
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
        ASSERT_TRUE(extractor.Open(path) && extractor.ReadRaw(0, raw));
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

TEST_F(PluginPack, AnEncoderThatFailsEndsTheSaveAndKeepsTheOldPack)
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
             Case{"t-encodefails.edl", "扩展编码组件t-encodefails.edl无法编码文件a.txt。"},
             Case{"t-overlong.edl",
                  "扩展编码组件t-overlong.edl编码文件a.txt时给出的长度（5005字节）超出了输出缓冲区（5004字节），"
                  "编码结果不能使用。"},
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

        EXPECT_FALSE(ExtractDecoded(d.archive, 0, path, dir / "out", "a.txt", d.prompt, d.plugins));
        EXPECT_EQ(d.prompt.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(d.prompt.messages.at(0).icon, MsgIcon::Error);
        EXPECT_FALSE(std::filesystem::exists(dir / "out/a.txt"));
        // The file of another scheme still comes out.
        dir.MakeDir("out");
        EXPECT_TRUE(ExtractDecoded(d.archive, 1, path, dir / "out", "", d.prompt, d.plugins));
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
    for (const auto& [name, content] : d.Contents())
        EXPECT_EQ(content, std::vector<uint8_t>({'<', 'F', 'A', 'I', 'L', '>'}));
    std::vector<std::string> expected;
    for (const std::string& module : test::ShippedModules())
        expected.push_back("解码失败！" + module + "@" + module + ".txt");
    EXPECT_EQ(d.prompt.Texts(), expected);
}

}  // namespace
}  // namespace tarvex
