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

// Labels of the lists: the built-in scheme "none", a size or scheme not
// known, the source of a file whose bytes are in the pack, and the folder that
// shows a damaged pack's entries whose folder is gone (in angle brackets like
// the program's own marks, which Windows allows in no file name, so that it
// is not taken for a folder the pack's author made).
inline constexpr const char* kSchemeNameNone = "不编码";
inline constexpr const char* kUnknown = "未知";
inline constexpr const char* kPackedSource = "<包内文件> ";
inline constexpr const char* kOrphanFolderName = "<无主文件>";

// Names.
inline constexpr const char* kNewFolderFailed = "新建文件夹失败！";
inline constexpr const char* kNameNotGbk = "名字“%s”含有无法用GBK编码保存的字符，无法加入文件包。";

// Extracting.
inline constexpr const char* kDataOutsidePack = "文件%s的数据超出了文件包的范围，文件包可能已经损坏！";
inline constexpr const char* kDecodeFailedBuiltin = "解码失败！%s@%s";
inline constexpr const char* kUnknownScheme = "无法识别文件%s的编码方案，无法解压缩。";
inline constexpr const char* kUnsafeName = "文件名“%s”不能安全地写到磁盘上，已跳过。";
inline constexpr const char* kNameTooLongForDisk = "文件名“%s”对磁盘来说太长了，已跳过。";
inline constexpr const char* kCannotWriteTarget = "无法写入文件%s！\n%s";
inline constexpr const char* kCannotMakeFolder = "无法创建文件夹%s！\n%s";
inline constexpr const char* kNotAFolder = "%s已经存在，但不是文件夹，无法在其中解压缩。";
inline constexpr const char* kNotInPackYet =
    "下面的文件是上次存盘以后加入的，文件包里还没有它们的数据，没有解压缩：\n%s";

// Editing a catalogue.
inline constexpr const char* kFileExists = "该文件夹下已经有一个 %s 存在！";
inline constexpr const char* kMoveIntoItself = "无法移动文件夹！目标文件夹是源文件夹的子文件夹。";
inline constexpr const char* kMoveNameTaken = "无法移动文件夹！该文件夹下已经有一个文件夹 <%s> 存在！";
inline constexpr const char* kCopyIntoItself = "无法复制文件夹！目标文件夹是源文件夹的子文件夹。";
inline constexpr const char* kCopyNameTaken = "无法复制文件夹！该文件夹下已经有一个文件夹 <%s> 存在！";
inline constexpr const char* kEmptyFileScheme = "0字节的文件不能使用任何编码方案！";
inline constexpr const char* kRootRename = "注意：不允许更改根的名字！";
inline constexpr const char* kNameInUse = "该名字已被使用，请重新命名！";

// Importing a directory tree.
inline constexpr const char* kSkippedSpecial = "已跳过%s：它不是普通文件或文件夹。";
inline constexpr const char* kCannotReadDir = "无法读取文件夹%s！\n%s";

// Encoder modules.
inline constexpr const char* kPluginNotLoaded = "无法载入扩展编码组件:%s";
inline constexpr const char* kPluginEncodeFailed = "扩展编码组件%s无法编码文件%s。";
inline constexpr const char* kPluginOverran =
    "扩展编码组件%s编码文件%s时给出的长度（%u字节）超出了输出缓冲区（%u字节），编码结果不能使用。";
inline constexpr const char* kPluginGaveNoLength =
    "扩展编码组件%s编码文件%s时报告成功，却没有给出编码后的长度，编码结果不能使用。";
inline constexpr const char* kPluginGaveEmpty = "扩展编码组件%s编码文件%s时给出的长度为0字节，编码结果不能使用。";
inline constexpr const char* kNoPluginSlot = "没有找到合适的扩展解码模块，无法解压缩：%s";
inline constexpr const char* kDecoderNotFound = "没有找到扩展解码模块：%s";
// Why a module in the plugins folder cannot be used.
inline constexpr const char* kModuleMissing = "plugins文件夹里没有这个文件";
inline constexpr const char* kModuleBadFileName = "文件名不是可以记入文件包的“*.edl”文件名";
inline constexpr const char* kModuleNotLoadable = "无法载入这个模块";
inline constexpr const char* kModuleNotAnEncoder = "不是编码插件（没有getProviderType，或者它的值不是0x45444650）";
inline constexpr const char* kModuleNoProviderName = "缺少getProviderName";
inline constexpr const char* kModuleNoProviderVersion = "缺少getProviderVersion";
inline constexpr const char* kModuleNoInfoOrAbout = "getProviderInfo和About都没有";
inline constexpr const char* kModuleNoMemNeeded = "缺少getMemNeeded";
inline constexpr const char* kModuleNoEncode = "缺少Encode";
inline constexpr const char* kModuleNameTooLong = "getProviderName给出的名字超过255字节，无法记入文件包";

// The encode test.
inline constexpr const char* kEncodeTesting = "正在进行编码测试，请稍后...\n正在测试 %s <%s>";
inline constexpr const char* kEncodeAdvice = "%s不建议使用此方案编码,越压越大\n是否接受建议?";

// Why a module's speed could not be measured.
inline constexpr const char* kSpeedCannotEncode = "编码失败";
inline constexpr const char* kSpeedCannotDecode = "解码失败";
inline constexpr const char* kSpeedDecodedWrong = "解码结果与原数据不同";
inline constexpr const char* kSpeedNoDecoder = "未发现解码模块";
inline constexpr const char* kSpeedNoMemory = "内存不足";

}  // namespace tarvex::msg

