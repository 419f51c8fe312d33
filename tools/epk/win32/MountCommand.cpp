// epk mount on Windows: a pack shown as a folder tree needs FUSE, a Linux
// service, so the command says what to use instead.
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

int RunMount(const CliArgs&)
{
    PrintErr(
        "epk mount 在 Windows 上不能使用：把文件包挂载成文件夹要用 Linux 的 FUSE。\n"
        "请用 epk extract 解压缩文件包，或用 epk cat 读出其中的文件。\n");
    return kExitFailure;
}

}  // namespace tarvex::epk
