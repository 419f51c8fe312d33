// The plug-in host: which module files it accepts and why, where it loads
// them from, and that nothing stays loaded after an operation.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>

#include "base/GbkText.h"
#include "schemes/PluginHost.h"
#include "tests/plugins/ModuleFolder.h"

namespace tarvex {
namespace {

using test::InstallModules;
using test::TempDir;

// Whether the shared object at path is loaded in this process right now.
bool IsLoaded(const std::string& path)
{
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) ::dlclose(handle);
    return handle != nullptr;
}

TEST(PluginHost, AppliesTheAcceptanceRulesInTheirOrder)
{
    TempDir dir;
    const std::string folder =
        InstallModules(dir, {"t-full.edl", "t-nodecode.edl", "t-infoonly.edl", "t-aboutonly.edl", "t-neither.edl",
                             "t-wrongtype.edl", "t-notype.edl", "t-noname.edl", "t-noversion.edl", "t-nomemneeded.edl",
                             "t-noencode.edl", "t-longname.edl", "t-c.edl"});
    dir.Write("plugins/garbage.edl", std::string("not a shared object"));
    dir.Write("plugins/readme.txt", std::string("not a module"));
    dir.MakeDir("plugins/folder.edl");
    std::filesystem::copy_file(folder + "/t-full.edl", folder + "/UPPER.EDL");

    // The cumulative gaps (t-noname lacks everything after the type, and so
    // on) show that the first failing rule decides.
    const std::map<std::string, ModuleVerdict> expected = {
        {"UPPER.EDL", ModuleVerdict::Accepted},
        {"garbage.edl", ModuleVerdict::NotLoadable},
        {"t-aboutonly.edl", ModuleVerdict::Accepted},
        {"t-c.edl", ModuleVerdict::Accepted},
        {"t-full.edl", ModuleVerdict::Accepted},
        {"t-infoonly.edl", ModuleVerdict::Accepted},
        {"t-longname.edl", ModuleVerdict::NameTooLong},
        {"t-neither.edl", ModuleVerdict::NoInfoOrAbout},
        {"t-nodecode.edl", ModuleVerdict::Accepted},
        {"t-noencode.edl", ModuleVerdict::NoEncode},
        {"t-nomemneeded.edl", ModuleVerdict::NoMemNeeded},
        {"t-noname.edl", ModuleVerdict::NoProviderName},
        {"t-notype.edl", ModuleVerdict::WrongProviderType},
        {"t-noversion.edl", ModuleVerdict::NoProviderVersion},
        {"t-wrongtype.edl", ModuleVerdict::WrongProviderType},
    };
    const std::vector<ModuleInfo> survey = PluginHost(folder).Survey();
    std::vector<std::string> order;
    std::map<std::string, ModuleVerdict> verdicts;
    for (const ModuleInfo& m : survey) {
        order.push_back(m.fileName);
        verdicts[m.fileName] = m.verdict;
    }
    EXPECT_EQ(verdicts, expected);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    for (const ModuleInfo& m : survey) {
        if (m.fileName == "garbage.edl") {
            EXPECT_FALSE(m.loadError.empty());
        }
        if (m.verdict == ModuleVerdict::Accepted) {
            EXPECT_EQ(m.version, 0x01020304u) << m.fileName;
            EXPECT_EQ(m.moduleFile, m.fileName);
        } else {
            EXPECT_FALSE(VerdictText(m.verdict).empty());
        }
    }
}

TEST(PluginHost, ReportsWhatAnAcceptedModuleOffers)
{
    TempDir dir;
    const PluginHost host(InstallModules(
        dir, {"t-full.edl", "t-nodecode.edl", "t-infoonly.edl", "t-aboutonly.edl", "t-parallel.edl", "t-saysno.edl"}));
    struct Case {
        const char* file;
        const char* name;
        const char* info;
        bool about, settings, decode, threadSafe;
    };
    for (const Case& c : {Case{"t-full.edl", "Test full", "Test module full", true, true, true, false},
                          Case{"t-nodecode.edl", "Test nodecode", "Test module nodecode", false, false, false, false},
                          Case{"t-infoonly.edl", "Test infoonly", "Test module infoonly", false, false, true, false},
                          Case{"t-aboutonly.edl", "Test aboutonly", "", true, false, true, false},
                          // isThreadSafe: any non-zero value says yes, 0 says no.
                          Case{"t-parallel.edl", "Test parallel", "Test module parallel", false, false, true, true},
                          Case{"t-saysno.edl", "Test saysno", "Test module saysno", false, false, true, false}}) {
        const ModuleInfo m = host.Inspect(c.file);
        ASSERT_EQ(m.verdict, ModuleVerdict::Accepted) << c.file;
        EXPECT_EQ(m.providerName, c.name);
        EXPECT_EQ(GbkToUtf8Lossy(m.infoText), c.info) << c.file;
        EXPECT_EQ(m.hasAbout, c.about) << c.file;
        EXPECT_EQ(m.hasSettings, c.settings) << c.file;
        EXPECT_EQ(m.canDecode, c.decode) << c.file;
        EXPECT_EQ(m.threadSafe, c.threadSafe) << c.file;
    }
}

TEST(PluginHost, RefusesNamesOutsideThePluginsFolder)
{
    TempDir dir;
    const std::string folder = InstallModules(dir, {"t-full.edl"});
    // A module one level up must stay out of reach of every name.
    InstallModules(dir, {"t-full.edl"}, TEST_MODULE_DIR, ".");
    const PluginHost host(folder);

    for (const char* name :
         {"../t-full.edl", "..\\t-full.edl", "sub/t-full.edl", "t-full.so", ".edl", "", "/t-full.edl"}) {
        EXPECT_FALSE(host.PathOf(name)) << name;
        std::string error;
        EXPECT_FALSE(host.Load(name, error)) << name;
        EXPECT_EQ(host.Inspect(name).verdict, ModuleVerdict::BadFileName) << name;
    }
    EXPECT_EQ(host.Inspect("gone.edl").verdict, ModuleVerdict::Missing);
    // A name GBK cannot spell cannot be recorded in a pack.
    EXPECT_EQ(host.Inspect("\xF0\x9F\x98\x80.edl").verdict, ModuleVerdict::BadFileName);

    // Plug-in tables hold GBK names; the disk holds UTF-8 ones.
    EXPECT_EQ(host.PathOf(Utf8ToGbk("编码.edl").value()), folder + "/编码.edl");
    EXPECT_EQ(host.PathOf("t-full.edl"), folder + "/t-full.edl");
}

TEST(PluginHost, UnloadsEveryModuleItLoaded)
{
    TempDir dir;
    const std::string folder = InstallModules(dir, {"t-full.edl", "t-neither.edl"});
    const PluginHost host(folder);
    host.Survey();
    EXPECT_FALSE(IsLoaded(folder + "/t-full.edl"));
    EXPECT_FALSE(IsLoaded(folder + "/t-neither.edl"));
    {
        std::string error;
        std::optional<LoadedModule> module = host.Load("t-full.edl", error);
        ASSERT_TRUE(module) << error;
        EXPECT_TRUE(IsLoaded(folder + "/t-full.edl"));
        LoadedModule moved = std::move(*module);
        module.reset();
        EXPECT_TRUE(IsLoaded(folder + "/t-full.edl"));
        EXPECT_TRUE(moved.Find<edl_Encode_fn>("Encode"));
        EXPECT_FALSE(moved.Find<edl_DecodeBounded_fn>("DecodeBounded"));
    }
    EXPECT_FALSE(IsLoaded(folder + "/t-full.edl"));
}

TEST(PluginHost, LooksBesideTheProgramAndNowhereElse)
{
    // This test program lives beside the modules Tarvex ships.
    EXPECT_EQ(PluginHost().Folder(), SHIPPED_MODULE_DIR);

    TempDir dir;
    EXPECT_TRUE(PluginHost(dir / "plugins").Survey().empty());  // no such folder
    dir.MakeDir("plugins");
    EXPECT_TRUE(PluginHost(dir / "plugins").Survey().empty());
}

}  // namespace
}  // namespace tarvex
