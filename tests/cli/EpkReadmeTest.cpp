// The README's examples of epk, run top to bottom as one session on the
// files it says the session starts with: an example that stops working, or
// a README that drifts from what epk does, fails here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "tests/cli/EpkRunner.h"

namespace tarvex {
namespace {

using test::TempDir;

// The ```sh blocks of the README's sections with these headings, in order.
std::vector<std::string> ShellBlocks(const std::string& readme, const std::vector<std::string>& headings)
{
    std::vector<std::string> blocks;
    bool inSection = false;
    bool inBlock = false;
    std::istringstream lines(readme);
    for (std::string line; std::getline(lines, line);) {
        if (!inBlock && line.starts_with("## "))
            inSection = std::find(headings.begin(), headings.end(), line) != headings.end();
        if (!inSection) continue;
        if (inBlock && line == "```") {
            inBlock = false;
        } else if (inBlock) {
            blocks.back() += line + "\n";
        } else if (line == "```sh") {
            inBlock = true;
            blocks.emplace_back();
        }
    }
    return blocks;
}

TEST(EpkReadme, ExamplesRunTopToBottom)
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no usable /dev/fuse here: the examples mount a pack";
    if (std::system("command -v fusermount3 >/dev/null") != 0) GTEST_SKIP() << "fusermount3 is not installed";
    TempDir dir;
    dir.Write("assets/配置/game.ini", std::string("[视频]\nwidth=1024\n"));
    dir.Write("assets/ui/menu.json", std::string("{\"items\":[\"开始\",\"设置\"]}\n"));
    dir.Write("assets/ui/title.png", test::RandomBytes(3000, 1));
    dir.Write("assets/ui/button.psd", test::RandomBytes(500, 2));
    dir.Write("assets/levels/1.json", test::TextLikeBytes(4000, 3));
    dir.Write("assets/video/intro.bin", test::RandomBytes(1500000, 4));
    dir.Write("logo.png", test::RandomBytes(2000, 5));
    dir.Write("intro.txt", test::TextLikeBytes(1000, 6));
    dir.Write("hud.json", std::string("{\"hud\":true}\n"));
    dir.Write("font.png", test::RandomBytes(800, 7));
    dir.Write("levels/2.json", test::TextLikeBytes(3000, 8));
    dir.Write("levels/3.json", test::TextLikeBytes(3000, 9));
    dir.Write("levels/draft.tmp", std::string("draft"));
    dir.Write("changed.txt", std::string("hud.json\nfont.png\n"));
    dir.Write("pw.txt", std::string("口令"));

    const std::vector<std::string> blocks =
        ShellBlocks(ReadText(README_PATH), {"## `epk`, the command-line tool", "## Encoder plug-ins"});
    ASSERT_GE(blocks.size(), 4u);
    std::string session = "set -euo pipefail\n";
    for (const std::string& block : blocks) session += block;
    dir.Write("session.sh", session);

    const std::string bin = std::string(EPK_PATH).substr(0, std::string(EPK_PATH).rfind('/'));
    const EpkRun r = RunCaptured("cd " + Quote(dir.Path()) + " && PATH=" + Quote(bin) + ":\"$PATH\" bash -x session.sh");
    std::system(("fusermount3 -u " + Quote(dir / "mnt") + " 2>/dev/null").c_str());  // should a line fail while mounted
    EXPECT_EQ(r.status, 0) << r.err;
    // The examples do what their comments say.
    EXPECT_NE(r.out.find("没有改变 ui/logo.png：用 ZIV 编码不能变小，仍不编码保存\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ui/menu.json\t"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace tarvex
