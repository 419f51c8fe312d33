// Draws the editor's bitmaps and icons and writes them as PNG files into the
// folder given on the command line (ui/resources). Run it after changing
// a drawing; the PNG files are kept in the repository as its output. The
// application's icon is not drawn here: it is kept as resources/tarvex.svg.
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <cstdio>

#include "ui/artwork/ArtPieces.h"

namespace {

using namespace tarvex::artwork;

QImage ProgressSkin()
{
    QImage skin(127, 32, QImage::Format_RGB32);
    skin.fill(QColor(236, 233, 216));
    QPainter p(&skin);
    // Upper half: the frame and the trough.
    p.setPen(QColor(122, 138, 153));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, 126, 15), 2.5, 2.5);
    p.setPen(QColor(214, 222, 230));
    p.drawLine(2, 2, 124, 2);
    // Lower half: one cell, green with a light top, at (3, 19) 8 x 10.
    QLinearGradient g(0, 19, 0, 29);
    g.setColorAt(0, QColor(190, 240, 170));
    g.setColorAt(0.45, QColor(70, 200, 60));
    g.setColorAt(1, QColor(40, 160, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(QRect(4, 19, 6, 10));
    return skin;
}

QImage ButtonSkin()
{
    const QColor key(255, 0, 0);
    QImage skin(365, 19, QImage::Format_RGB32);
    skin.fill(key);
    struct Look {
        QColor top, bottom, border;
    };
    const Look looks[5] = {
        {QColor(255, 255, 255), QColor(214, 208, 197), QColor(0, 60, 116)},     // normal
        {QColor(209, 204, 193), QColor(235, 233, 225), QColor(0, 60, 116)},     // pressed
        {QColor(255, 250, 235), QColor(240, 200, 120), QColor(230, 140, 0)},    // hover
        {QColor(255, 255, 255), QColor(200, 215, 240), QColor(50, 100, 210)},   // focused
        {QColor(245, 244, 234), QColor(245, 244, 234), QColor(201, 199, 186)},  // disabled
    };
    for (int i = 0; i < 5; ++i) {
        const Look& look = looks[i];
        const Draw draw = [&look](QPainter& p) {
            QLinearGradient g(0, 1, 0, 18);
            g.setColorAt(0, look.top);
            g.setColorAt(1, look.bottom);
            p.setPen(QPen(look.border, 1));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(0.5, 0.5, 72, 18), 3, 3);
        };
        QPainter(&skin).drawImage(i * 73, 0,
                                  Render(
                                      73, 19, 73,
                                      [&](QPainter& p) {
                                          p.resetTransform();
                                          draw(p);
                                      },
                                      key));
    }
    return skin;
}

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QColor grey(192, 192, 192), magenta(255, 0, 255);
    bool ok = Save(Strip(ToolbarCells(), 16, 15, 16, grey), out.filePath("toolbar.png"));
    ok = Save(Strip(MenuCells(), 16, 15, 16, grey), out.filePath("menuicons.png")) && ok;
    ok = Save(Strip({[](QPainter& p) { Folder(p, false); }, [](QPainter& p) { Folder(p, true); }}, 16, 16, 16, magenta),
              out.filePath("folders.png")) &&
         ok;
    ok = Save(Strip(FileKindCells(), 16, 16, 16, magenta), out.filePath("filekinds16.png")) && ok;
    ok = Save(Strip(FileKindCells(), 32, 32, 16, magenta), out.filePath("filekinds32.png")) && ok;
    ok = Save(ProgressSkin(), out.filePath("progress.png")) && ok;
    ok = Save(ButtonSkin(), out.filePath("button.png")) && ok;
    return ok ? 0 : 1;
}
