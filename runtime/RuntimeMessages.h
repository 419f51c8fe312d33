#pragma once
// The texts the runtime library shows of its own (UTF-8; printf-style
// placeholders). Failures of reading a pack use the core's texts.
namespace tarvex::msg {

inline constexpr const char* kNoFileName = "没有给出文件名。";
inline constexpr const char* kNoPasswordGiven = "该文件包有密码保护，打开时没有给出密码。";
inline constexpr const char* kPackReadOnly = "文件包%s只能以读取方式打开。";
inline constexpr const char* kNoPackOpen = "没有打开文件包，无法查找文件%s。";
inline constexpr const char* kNotInPack = "文件包%s中没有文件%s。";
inline constexpr const char* kNothingToRead = "没有选定要读取的文件。";
inline constexpr const char* kOpenedForWriting = "文件%s是以写入方式打开的，无法读取。";
inline constexpr const char* kNotOpenForWriting = "没有以写入方式打开的文件，无法写入。";
inline constexpr const char* kNoDataToWrite = "没有给出要写入的数据。";
inline constexpr const char* kUnsafeExternalPath = "路径%s含有“.”或“..”，或者是绝对路径，不在外部路径中查找。";
inline constexpr const char* kAmbiguousPath =
    "路径有两种读法，指向文件包%s中不同的文件：按GBK编码是“%s”，按UTF-8编码是“%s”。无法确定要读取哪一个。";
inline constexpr const char* kTooLargeToRead = "文件%s的大小达到或超过4GB，无法读取。";

}  // namespace tarvex::msg
