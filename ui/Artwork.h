#pragma once
// The editor's pictures, drawn for this program and stored as Qt resources
// under their resource numbers: icon strips cut into cells with their
// transparent colour taken out, the skins of the drawn controls, the
// application icon.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <vector>

namespace tarvex::art {

inline constexpr int kToolbarBitmap = 128;   // 16 x 15 cells, grey transparent
inline constexpr int kMenuIconStrip = 130;   // 23 cells of 16 x 15, grey transparent
inline constexpr int kTreeFolders = 135;     // 2 cells of 16 x 16, magenta transparent
inline constexpr int kFileKindsSmall = 136;  // 17 cells of 16 x 16, magenta transparent
inline constexpr int kFileKindsLarge = 139;  // 17 cells of 32 x 32, magenta transparent
inline constexpr int kButtonSkin = 144;      // 5 state cells of 73 x 19, red transparent
inline constexpr int kProgressSkin = 146;    // 127 x 32: frame above, cell below

inline constexpr QColor kStripTransparent{192, 192, 192};
inline constexpr QColor kImageListTransparent{255, 0, 255};
inline constexpr QColor kButtonTransparent{255, 0, 0};

// The bitmap with this resource number; a null image when there is none.
QImage Bitmap(int id);

// Cuts a strip into cells of w x h, pixels of `transparent` made transparent.
std::vector<QPixmap> Cells(const QImage& strip, int w, int h, QColor transparent);

// The toolbar picture of a command; a null icon when it has none.
QIcon ToolbarIcon(int commandId);
// The menu icon of a command from the menu icon strip; null when it has none.
QIcon MenuIcon(int commandId);
// The tree's folder: closed normally, open while selected.
QIcon TreeFolderIcon();
// The 17 file-list images (0 folder, 1..16 file kinds), small or large.
std::vector<QIcon> FileKindIcons(bool large);
QIcon AppIcon();
// The ghosted look of an icon (every mode and size), which marks cut items.
QIcon GhostIcon(const QIcon& icon);

}  // namespace tarvex::art
