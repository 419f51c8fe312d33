#pragma once
namespace tarvex {

// The private clipboard format of pack items (folders and file entries of
// the running program).
inline constexpr const char* kClipboardFormat = "application/x-zvpk2fd";

}  // namespace tarvex
