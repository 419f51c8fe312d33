// epk with encoder modules, end to end: a copy of epk in a program folder of
// its own, with the modules under test in the plugins folder beside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/EpkRunner.h"
#include "tests/plugins/ModuleFolder.h"

namespace tarvex {
namespace {

using test::InstallModules;
using test::ReadFileBytes;
using test::TempDir;
namespace fs = std::filesystem;

std::map<std::string, std::vector<uint8_t>> Tree(const std::string& root)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
    return files;
}

class EpkWithPlugins : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "prog");
        fs::copy_file(EPK_PATH, epk);
        InstallModules(dir, test::ShippedModules(), SHIPPED_MODULE_DIR, "prog/plugins");
        InstallModules(dir, {"t-nodecode.edl", "t-neither.edl", "t-wrongtype.edl", "t-encodefails.edl"},
                       TEST_MODULE_DIR, "prog/plugins");

        // Real text: sources of this project and the sample folder, plus
        // data no encoder can shrink.
        for (const char* folder : {"catalogue", "schemes", "samples/demo"}) {
            fs::create_directories(dir / ("src/" + std::string(folder)));
            fs::copy(std::string(SOURCE_DIR) + "/" + folder, dir / ("src/" + std::string(folder)),
                     fs::copy_options::recursive);
        }
        dir.Write("src/noise.bin", test::RandomBytes(20000, 5));
        // A plugins folder in the current directory that must not be used.
        dir.Write("cwd/plugins/zstd-strong.edl", std::string("not a module"));
    }

    // Runs the copy of epk from the folder "cwd".
    EpkRun Epk(const std::vector<std::string>& args) const
    {
        std::string command = "cd " + Quote(dir / "cwd") + " && " + Quote(epk);
        for (const auto& a : args) command += " " + Quote(a);
        command += " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr") + " </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(dir / "stdout"), ReadText(dir / "stderr")};
    }

    TempDir dir;
    std::string epk = dir / "prog/epk";
};

TEST_F(EpkWithPlugins, PluginsListsTheAcceptedModules)
{
    const EpkRun r = Epk({"plugins"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "deflate.edl\tDeflate\t1.0.0.0\t能解码\t多线程\n"
              "t-encodefails.edl\tTest encodefails\t1.2.3.4\t能解码\t单线程\n"
              "t-nodecode.edl\tTest nodecode\t1.2.3.4\t未发现解码模块\t单线程\n"
              "zstd-fast.edl\tZstandard 快速\t1.0.0.0\t能解码\t多线程\n"
              "zstd-strong.edl\tZstandard 强力\t1.0.0.0\t能解码\t多线程\n");
    EXPECT_EQ(r.err,
              "epk: 已忽略“t-neither.edl”：getProviderInfo和About都没有。\n"
              "epk: 已忽略“t-wrongtype.edl”：不是编码插件（没有getProviderType，或者它的值不是0x45444650）。\n");

    fs::remove_all(dir / "prog/plugins");
    const EpkRun none = Epk({"plugins"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("没有发现任何可用的外部编码插件！"), std::string::npos) << none.err;
}

TEST_F(EpkWithPlugins, ZstdPackRoundTripsAndIsSmallerThanLz)
{
    const std::string zstd = dir / "zstd.epk";
    const std::string lz = dir / "lz.epk";
    EpkRun r = Epk({"create", zstd, dir / "src", "--scheme", "zstd-strong.edl"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Epk({"create", lz, dir / "src", "--scheme", "lz"}).status, 0);
    EXPECT_LT(fs::file_size(zstd), fs::file_size(lz) * 9 / 10);

    r = Epk({"list", zstd});
    EXPECT_NE(r.out.find("catalogue/Catalogue.cpp\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tZstandard 强力\n"), std::string::npos);
    // Data the module cannot shrink is stored unencoded.
    EXPECT_NE(r.out.find("noise.bin\t20000\t20000\t不编码\n"), std::string::npos);
    EXPECT_NE(Epk({"info", zstd}).out.find("  0\tZstandard 强力\tzstd-strong.edl\t1.0.0.0\n"), std::string::npos);

    EXPECT_EQ(Epk({"test", zstd}).status, 0);
    r = Epk({"extract", zstd, dir / "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tree(dir / "out"), Tree(dir / "src"));
}

TEST_F(EpkWithPlugins, EveryShippedModuleRoundTripsWithAPassword)
{
    dir.Write("pw", std::string("密码"));
    for (const std::string& module : test::ShippedModules()) {
        SCOPED_TRACE(module);
        const std::string pack = dir / (module + ".epk");
        EpkRun r = Epk({"create", pack, dir / "src", "--scheme", module, "--password-file", dir / "pw"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = Epk({"extract", pack, dir / ("out-" + module), "--password-file", dir / "pw"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Tree(dir / ("out-" + module)), Tree(dir / "src"));
    }
}

TEST_F(EpkWithPlugins, APackWhoseModuleIsMissingOpensListsAndExtractsTheRest)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "zstd-fast.edl"}).status, 0);
    fs::remove(dir / "prog/plugins/zstd-fast.edl");

    EpkRun r = Epk({"list", pack});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\tZstandard 快速\n"), std::string::npos);

    r = Epk({"extract", pack, dir / "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("没有找到扩展解码模块：zstd-fast.edl\n"), std::string::npos) << r.err;
    const auto out = Tree(dir / "out");
    EXPECT_EQ(out.at("noise.bin"), ReadFileBytes(dir / "src/noise.bin"));
    EXPECT_EQ(out.count("catalogue/Catalogue.cpp"), 0u);

    r = Epk({"test", pack});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("catalogue/Catalogue.cpp\t失败\n"), std::string::npos) << r.out;
}

TEST_F(EpkWithPlugins, EditingCommandsTakeAModuleAsScheme)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz"}).status, 0);
    EpkRun r = Epk({"scheme", pack, "catalogue", "zstd-fast.edl"});
    ASSERT_EQ(r.status, 0) << r.err;
    dir.Write("more/notes.txt", test::TextLikeBytes(30000, 9));
    r = Epk({"add", pack, dir / "more/notes.txt", "--to", "docs", "--scheme", "deflate.edl"});
    ASSERT_EQ(r.status, 0) << r.err;

    r = Epk({"list", pack});
    EXPECT_NE(r.out.find("catalogue/Catalogue.cpp\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tZstandard 快速\n"), std::string::npos);
    EXPECT_NE(r.out.find("docs/notes.txt\t30000\t"), std::string::npos);
    EXPECT_NE(r.out.find("\tDeflate\n"), std::string::npos);
    r = Epk({"extract", pack, dir / "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto expected = Tree(dir / "src");
    expected["docs/notes.txt"] = ReadFileBytes(dir / "more/notes.txt");
    EXPECT_EQ(Tree(dir / "out"), expected);

    const std::vector<uint8_t> before = ReadFileBytes(pack);
    EXPECT_EQ(Epk({"scheme", pack, "catalogue", "t-neither.edl"}).status, 1);
    EXPECT_EQ(ReadFileBytes(pack), before);
}

TEST_F(EpkWithPlugins, SchemesThatCannotBeUsedCreateNoPack)
{
    struct Case {
        const char* scheme;
        int status;
        const char* message;
    };
    for (const Case& c : {
             Case{"zip", 2, "未知的编码方案“zip”"},
             Case{"gone.edl", 1, "无法使用扩展编码插件“gone.edl”：plugins文件夹里没有这个文件。"},
             Case{"../zstd-fast.edl", 1,
                  "无法使用扩展编码插件“../zstd-fast.edl”：文件名不是可以记入文件包的“*.edl”文件名。"},
             Case{"t-neither.edl", 1, "无法使用扩展编码插件“t-neither.edl”：getProviderInfo和About都没有。"},
         }) {
        SCOPED_TRACE(c.scheme);
        const EpkRun r = Epk({"create", dir / "p.epk", dir / "src", "--scheme", c.scheme});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "p.epk"));
    }
}

TEST_F(EpkWithPlugins, CreateWithAnEncoderThatBreaksStoresTheFilesUnencodedAndNamesEach)
{
    InstallModules(dir, {"t-nolength.edl"}, TEST_MODULE_DIR, "prog/plugins");
    const auto src = Tree(dir / "src");
    size_t nonEmpty = 0;
    uint64_t bytes = 0;
    for (const auto& [name, content] : src) {
        nonEmpty += !content.empty();
        bytes += content.size();
    }
    for (const std::string module : {"t-encodefails.edl", "t-nolength.edl"}) {
        SCOPED_TRACE(module);
        const std::string pack = dir / (module + ".epk");
        EpkRun r = Epk({"create", pack, dir / "src", "--scheme", module});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.rfind("epk: 文件包已经存盘，但下面的文件无法用选定的编码方案编码，已按“不编码”原样存入：\n", 0), 0u)
            << r.err;
        // One line for every file the module was given.
        size_t lines = 0;
        for (size_t at = r.err.find("\nepk: 扩展编码组件" + module); at != std::string::npos;
             at = r.err.find("\nepk: 扩展编码组件" + module, at + 1))
            ++lines;
        EXPECT_EQ(lines, nonEmpty);
        EXPECT_NE(r.err.find("\nepk: 扩展编码组件" + module + (module == "t-nolength.edl" ? "编码文件" : "无法编码文件") +
                             "catalogue\\Catalogue.cpp"),
                  std::string::npos);
        const std::string total = std::to_string(bytes);
        EXPECT_NE(r.out.find(total + " 字节存为 " + total + " 字节。"), std::string::npos) << r.out;

        r = Epk({"extract", pack, dir / ("out-" + module)});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Tree(dir / ("out-" + module)), src);
    }
}

}  // namespace
}  // namespace tarvex
