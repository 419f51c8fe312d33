#include "ui/Artwork.h"

#include <QPainter>
#include <algorithm>

#include "ui/CommandTable.h"

namespace tarvex::art {
namespace {

QString ResourcePath(int id)
{
    switch (id) {
        case kToolbarBitmap:
            return QStringLiteral(":/tarvex/toolbar.png");
        case kMenuIconStrip:
            return QStringLiteral(":/tarvex/menuicons.png");
        case kTreeFolders:
            return QStringLiteral(":/tarvex/folders.png");
        case kFileKindsSmall:
            return QStringLiteral(":/tarvex/filekinds16.png");
        case kFileKindsLarge:
            return QStringLiteral(":/tarvex/filekinds32.png");
        case kButtonSkin:
            return QStringLiteral(":/tarvex/button.png");
        case kProgressSkin:
            return QStringLiteral(":/tarvex/progress.png");
        default:
            return {};
    }
}

QIcon CellOf(int bitmap, const std::vector<int>& commands, int commandId)
{
    const auto it = std::find(commands.begin(), commands.end(), commandId);
    if (it == commands.end()) return {};
    const std::vector<QPixmap> cells = Cells(Bitmap(bitmap), 16, 15, kStripTransparent);
    const size_t cell = static_cast<size_t>(it - commands.begin());
    return cell < cells.size() ? QIcon(cells[cell]) : QIcon();
}

}  // namespace

QImage Bitmap(int id)
{
    const QString path = ResourcePath(id);
    return path.isEmpty() ? QImage() : QImage(path).convertToFormat(QImage::Format_ARGB32);
}

std::vector<QPixmap> Cells(const QImage& strip, int w, int h, QColor transparent)
{
    std::vector<QPixmap> cells;
    if (strip.isNull() || w <= 0) return cells;
    const QRgb key = transparent.rgb();
    for (int x = 0; x + w <= strip.width(); x += w) {
        QImage cell = strip.copy(x, 0, w, std::min(h, strip.height())).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < cell.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
            for (int i = 0; i < cell.width(); ++i)
                if ((line[i] | 0xFF000000u) == key) line[i] = 0;
        }
        cells.push_back(QPixmap::fromImage(cell));
    }
    return cells;
}

QIcon ToolbarIcon(int commandId)
{
    std::vector<int> buttons;
    for (int id : ToolbarCommands())
        if (id != 0) buttons.push_back(id);
    return CellOf(kToolbarBitmap, buttons, commandId);
}

QIcon MenuIcon(int commandId)
{
    return CellOf(kMenuIconStrip, MenuIconCommands(), commandId);
}

QIcon TreeFolderIcon()
{
    const std::vector<QPixmap> cells = Cells(Bitmap(kTreeFolders), 16, 16, kImageListTransparent);
    QIcon icon;
    if (cells.size() < 2) return icon;
    icon.addPixmap(cells[0], QIcon::Normal);
    icon.addPixmap(cells[1], QIcon::Selected);
    return icon;
}

std::vector<QIcon> FileKindIcons(bool large)
{
    const int size = large ? 32 : 16;
    std::vector<QIcon> icons;
    for (const QPixmap& cell :
         Cells(Bitmap(large ? kFileKindsLarge : kFileKindsSmall), size, size, kImageListTransparent))
        icons.emplace_back(cell);
    return icons;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256}) icon.addFile(QStringLiteral(":/tarvex/tarvex%1.png").arg(size));
    return icon;
}

QIcon GhostIcon(const QIcon& icon)
{
    QIcon ghost;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Selected}) {
        for (const QSize& size : icon.availableSizes(mode)) {
            const QPixmap picture = icon.pixmap(size, mode);
            QPixmap faded(picture.size());
            faded.fill(Qt::transparent);
            QPainter painter(&faded);
            painter.setOpacity(0.45);
            painter.drawPixmap(0, 0, picture);
            painter.end();
            ghost.addPixmap(faded, mode);
        }
    }
    return ghost;
}

}  // namespace tarvex::art
