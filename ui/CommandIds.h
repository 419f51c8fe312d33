#pragma once
// The numeric command identifiers of the editor's menus, accelerators and
// toolbar. The numbers are those of the original resource files, so that
// stored settings and the command table's tests speak one language.
namespace tarvex::cmd {

// File
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrint = 57607;  // on the toolbar only; nobody handles it
inline constexpr int kFileMruFirst = 57616;
inline constexpr int kFileMruLast = 57619;
inline constexpr int kAppExit = 57665;

// Edit
inline constexpr int kEditUndo = 57643;  // nobody handles it
inline constexpr int kEditCut = 57635;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditPaste = 57637;
inline constexpr int kSelectAll = 32796;
inline constexpr int kNewFolder = 32782;
inline constexpr int kInsertFile = 32783;
inline constexpr int kDelete = 32784;

// View
inline constexpr int kViewLargeIcon = 59409;
inline constexpr int kViewSmallIcon = 59408;
inline constexpr int kViewList = 59410;
inline constexpr int kViewDetails = 59411;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;

// Options and help
inline constexpr int kPlugins = 32775;
inline constexpr int kAppAbout = 57664;

// Context menus and accelerators
inline constexpr int kRenameFolder = 32781;
inline constexpr int kRenameItem = 32785;
inline constexpr int kShowId = 32786;
inline constexpr int kTestEncode = 32788;
inline constexpr int kSchemeNone = 32789;
inline constexpr int kSchemeRle = 32790;
inline constexpr int kSchemeOther = 32792;
inline constexpr int kSchemeLz = 32793;
inline constexpr int kExtract = 32795;
inline constexpr int kRefresh = 32797;
inline constexpr int kPluginSchemeFirst = 40000;  // slot k: 40000 + k
inline constexpr int kPluginSchemeLast = 40064;   // the last one a handler may take
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;

// Strings of the same table that are not commands.
inline constexpr int kIdsAppTitle = 57344;
inline constexpr int kIdsIdle = 57345;

}  // namespace tarvex::cmd
