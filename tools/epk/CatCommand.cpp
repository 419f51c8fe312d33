// epk cat: the decoded bytes of files of a pack on standard output, for
// pipelines; every message goes to standard error.
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "archive/Messages.h"
#include "archive/SystemErrorText.h"
#include "schemes/Extraction.h"
#include "tools/epk/Commands.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"

namespace tarvex::epk {
namespace {

constexpr const char* kIsAFolder = "%s是文件夹，不是文件。";
constexpr const char* kCannotWriteOutput = "无法写到标准输出！\n%s";

// Standard output written directly, piece by piece. A reader that has gone
// away (a closed pipe, as with `| head`) ends the output without a word; the
// default SIGPIPE ends the program before, as it ends other tools.
class StandardOutput {
public:
    bool Write(std::span<const uint8_t> bytes)
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            bytes = bytes.subspan(static_cast<size_t>(n));
        }
        return true;
    }
    bool Failed() const { return error_ != 0; }
    bool ReaderGone() const { return error_ == EPIPE; }
    int Error() const { return error_; }

private:
    int error_ = 0;
};

}  // namespace

int RunCat(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(1));
    if (!paths) return kExitFailure;
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;

    StandardOutput out;
    bool trouble = false;
    for (const std::string& path : *paths) {
        const std::optional<PathTarget> target = FindNamed(session.catalogue, path, session.prompt);
        if (target && target->files.empty()) session.prompt.Tell(Printf(kIsAFolder, path.c_str()), MsgIcon::Error);
        if (!target || target->files.empty()) {
            trouble = true;
            continue;
        }
        // Of several files of one path (only a damaged pack has them) the
        // first is the one the pack's lookups find.
        const bool printed = extractor.ForEachPiece(target->files.front(),
                                                    [&](std::span<const uint8_t> bytes) { return out.Write(bytes); });
        if (out.ReaderGone()) return kExitFailure;
        if (out.Failed()) {
            session.prompt.Tell(Printf(kCannotWriteOutput, SystemErrorText(out.Error()).c_str()), MsgIcon::Error);
            return kExitFailure;
        }
        trouble = trouble || !printed;
    }
    return trouble ? kExitFailure : kExitOk;
}

}  // namespace tarvex::epk
