#pragma once
// The texts the core shows, in one place. printf-style placeholders are filled
// by the operation that shows them (names are converted to UTF-8 first).
#include <string>

#include "base/Printf.h"

namespace tarvex::msg {

// Reading a pack.
inline constexpr const char* kNotAPack =
    "错误的文件或损坏的文件！\n本程序无法识别该文件的格式，该文件不是有效的压缩文件或已经损坏。";
inline constexpr const char* kNewerVersion =
    "该文件使用的打包机版本与当前使用的打包机版本不同，可能无法正确打开该文件！";
inline constexpr const char* kWrongPassword = "您输入的密码错误！无法打开该文档";
inline constexpr const char* kDamaged = "该文档的格式无效或者已经损坏！无法打开该文档";
inline constexpr const char* kCannotOpenFile = "无法打开文件%s！\n%s";
inline constexpr const char* kOrphanEntries =
    "文件包已经损坏：有%zu个文件所在的文件夹不存在，这些文件已列在文件夹“%s”中。";
inline constexpr const char* kRepeatedFolder =
    "文件包已经损坏：文件夹“%s”在文件夹表中出现了不止一次，只列在第一处。";

// Writing a pack.
inline constexpr const char* kSaveCollecting = "正在存盘，请稍后...\n收集存盘信息...";
inline constexpr const char* kSaveProcessing = "正在存盘，请稍后...\n正在处理 %s  --->  %s";
inline constexpr const char* kSaveFinishing = "正在存盘，请稍后...\n正在完成存盘...";
inline constexpr const char* kReadFailed = "读取文件%s失败！\n";
inline constexpr const char* kOutOfMemory = "内存不足，无法完成请求的操作！";
inline constexpr const char* kUnexpectedError = "程序出错，无法完成请求的操作！\n%s";
inline constexpr const char* kWriteFailed = "无法写入文件%s！\n%s\n原来的文件没有改变。";
inline constexpr const char* kFileChanged = "文件%s在存盘过程中发生了变化，存盘已取消。";
inline constexpr const char* kTooManyFolders = "文件包最多只能容纳255个文件夹（现有%d个），无法存盘。";
inline constexpr const char* kTooManyPlugins = "文件包最多只能使用127个扩展编码插件（现有%d个），无法存盘。";
inline constexpr const char* kNameTooLong = "名字“%s”超过了255字节，无法存入文件包。";
inline constexpr const char* kFileTooLarge = "文件%s的大小达到或超过4GB，无法存入文件包。";
inline constexpr const char* kPackTooLarge = "文件包的数据超过了4GB的上限，无法存盘。";
inline constexpr const char* kPasswordUnusable =
    "这个密码无法用于加密文件包，请换一个密码再试！";
inline constexpr const char* kPasswordUnusableHere =
    "这个密码恰好无法用于加密当前的文件包，请换一个密码再存盘！";
// Another program at the same pack.
inline constexpr const char* kPackWaiting = "文件包%s正被另一个程序修改，等它完成……";
inline constexpr const char* kPackBusy = "文件包%s正被另一个程序修改，没有存盘。\n请等它完成后再试。";
inline constexpr const char* kPackReplaced =
    "文件包%s打开以后已被另一个程序替换或删除。为了不覆盖那个程序所做的修改，没有存盘。";
inline constexpr const char* kPackRewritten =
    "文件包%s打开以后被另一个程序改写了，包中原有文件的数据已无法读出，没有存盘。";
inline constexpr const char* kPackRewrittenRead =
    "文件包%s打开以后被另一个程序改写了，包中的文件已无法读出。请重新打开文件包。";
inline constexpr const char* kTargetChanged = "文件%s在存盘过程中被另一个程序修改，没有存盘。";
inline constexpr const char* kTargetNotRegular = "无法把文件包写到%s！\n%s";
inline constexpr const char* kStoredUnencoded =
    "文件包已经存盘，但下面的文件无法用选定的编码方案编码，已按“不编码”原样存入：\n%s";

// Names.
inline constexpr const char* kNameNotGbk = "名字“%s”含有无法用GBK编码保存的字符，无法加入文件包。";

// Extracting.
inline constexpr const char* kDataOutsidePack = "文件%s的数据超出了文件包的范围，文件包可能已经损坏！";
inline constexpr const char* kDecodeFailedBuiltin = "解码失败！%s@%s";
inline constexpr const char* kUnknownScheme = "无法识别文件%s的编码方案，无法解压缩。";
inline constexpr const char* kUnsafeName = "文件名“%s”不能安全地写到磁盘上，已跳过。";
inline constexpr const char* kNameTooLongForDisk = "文件名“%s”对磁盘来说太长了，已跳过。";
inline constexpr const char* kCannotWriteTarget = "无法写入文件%s！\n%s";
inline constexpr const char* kNotInPackYet =
    "下面的文件是上次存盘以后加入的，文件包里还没有它们的数据，没有解压缩：\n%s";

}  // namespace tarvex::msg

