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
    QString encoding;         // "UTF-8", "UTF-8 BOM", "UTF-16LE", "UTF-16BE" or "GBK"
    uint64_t shownBytes = 0;  // how many of the file's first bytes it shows
};

// The most of a text that is shown: laying out text costs about 60 ms a MiB.
inline constexpr size_t kTextLimit = size_t{8} << 20;

// bytes: the file's first bytes, all of them unless cut (then a character
// cut in two at the end does not make the text unreadable). fileName: its
// name on disk, whose extension names the image format to try first.
PreviewContent ReadPreview(std::span<const uint8_t> bytes, bool cut, const QString& fileName);

}  // namespace tarvex
