#include "editor/PreviewContent.h"

#include <QBuffer>
#include <QImageReader>
#include <optional>

#include "base/FileText.h"

namespace tarvex {
namespace {

// Formats told apart from other bytes by a signature of their own. Others
// (TGA, ICO, WBMP, ...) are tried only by the file's extension: their
// headers would take many a binary file for a picture.
const QByteArrayList kSignedFormats = {"png", "jpeg", "gif", "bmp", "webp", "tiff", "mng", "icns"};

// A picture in the format the file's extension names, else in one that
// its bytes announce.
std::optional<PreviewContent> ReadImage(std::span<const uint8_t> bytes, const QString& fileName)
{
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    const QByteArray suffix = fileName.section(QLatin1Char('.'), -1).toLower().toLatin1();
    const bool named = fileName.contains(QLatin1Char('.')) && QImageReader::supportedImageFormats().contains(suffix);
    for (const QByteArray& format : {named ? suffix : QByteArray(), QByteArray()}) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        // A reader keeps the format it settled on: each try has its own.
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(format.isEmpty());
        if (!reader.canRead() || (format.isEmpty() && !kSignedFormats.contains(reader.format()))) continue;
        PreviewContent content;
        content.imageFormat = QString::fromLatin1(reader.format());
        content.image = reader.read();
        if (content.image.isNull()) continue;
        content.kind = PreviewContent::Kind::Image;
        content.shownBytes = bytes.size();
        return content;
    }
    return std::nullopt;
}

}  // namespace

PreviewContent ReadPreview(std::span<const uint8_t> bytes, bool cut, const QString& fileName)
{
    if (std::optional<PreviewContent> image = ReadImage(bytes, fileName)) return std::move(*image);
    PreviewContent content;
    content.shownBytes = bytes.size();
    // Text is laid out whole: a longer one is shown in its first part.
    const bool longText = bytes.size() > kTextLimit;
    if (std::optional<FileText> text = ReadFileText(longText ? bytes.first(kTextLimit) : bytes, cut || longText)) {
        if (longText) content.shownBytes = kTextLimit;
        content.kind = PreviewContent::Kind::Text;
        content.text = QString::fromStdString(text->utf8);
        content.encoding = QString::fromLatin1(TextEncodingName(text->encoding));
    }
    return content;
}

}  // namespace tarvex
