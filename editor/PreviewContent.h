#pragma once
// What the quick look makes of a file's bytes: an image Qt can read, text
// in UTF-8 (with or without a byte order mark), UTF-16 with a byte order
// mark or GBK, and anything else as bytes to be shown in hex.
#include <QImage>
#include <QString>
#include <cstdint>
#include <span>

namespace tarvex {

struct PreviewContent {
    enum class Kind { Image, Text, Hex };
    Kind kind = Kind::Hex;
    QImage image;
    QString imageFormat;  // "png", "jpeg", ... as Qt names it
    QString text;
    QString encoding;  // "UTF-8", "UTF-8 BOM", "UTF-16LE", "UTF-16BE" or "GBK"
};

// bytes: the file's first bytes, all of them unless cut (then a character
// cut in two at the end does not make the text unreadable). fileName: its
// name on disk, whose extension names the image format to try first.
PreviewContent ReadPreview(std::span<const uint8_t> bytes, bool cut, const QString& fileName);

}  // namespace tarvex
