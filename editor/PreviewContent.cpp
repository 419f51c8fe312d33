#include "editor/PreviewContent.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <string_view>

#include "base/GbkText.h"

namespace tarvex {
namespace {

// Formats told apart from other bytes by a signature of their own. Others
// (TGA, ICO, WBMP, ...) are tried only by the file's extension: their
// headers would take many a binary file for a picture.
const QByteArrayList kSignedFormats = {"png", "jpeg", "gif", "bmp", "webp", "tiff", "mng", "icns"};

std::optional<PreviewContent> ReadImage(std::span<const uint8_t> bytes, const QString& fileName)
{
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray suffix = fileName.section(QLatin1Char('.'), -1).toLower().toLatin1();
    QImageReader reader;
    reader.setDevice(&buffer);
    if (fileName.contains(QLatin1Char('.')) && QImageReader::supportedImageFormats().contains(suffix)) {
        reader.setFormat(suffix);
        reader.setAutoDetectImageFormat(false);
    }
    if (!reader.canRead()) {
        buffer.seek(0);
        reader.setFormat({});
        reader.setAutoDetectImageFormat(true);
        if (!reader.canRead() || !kSignedFormats.contains(reader.format())) return std::nullopt;
    }
    PreviewContent content;
    content.imageFormat = QString::fromLatin1(reader.format());
    content.image = reader.read();
    if (content.image.isNull()) return std::nullopt;
    content.kind = PreviewContent::Kind::Image;
    return content;
}

// Control characters other than the usual white space: a few are found in
// text, many only in binary files.
bool LooksBinary(std::span<const uint8_t> bytes)
{
    size_t controls = 0;
    for (uint8_t b : bytes) {
        if (b == 0) return true;
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' && b != '\b' && b != 0x1B)
            ++controls;
    }
    return controls * 100 > bytes.size();
}

// Decodes bytes whole; a file cut short may end inside a character, so up
// to `slack` bytes at the end are given up before the bytes count as not
// of this encoding.
template <typename Decode>
std::optional<QString> DecodeWhole(std::span<const uint8_t> bytes, bool cut, size_t slack, Decode decode)
{
    for (size_t drop = 0; drop <= (cut ? std::min(slack, bytes.size()) : 0); ++drop) {
        std::optional<QString> text = decode(bytes.first(bytes.size() - drop));
        if (text) return text;
    }
    return std::nullopt;
}

std::optional<QString> DecodeUtf8(std::span<const uint8_t> bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QString DecodeUtf16(std::span<const uint8_t> bytes, QStringDecoder::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    // An odd last byte of a file cut short is half a character.
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size() & ~size_t{1})));
}

std::optional<QString> DecodeGbk(std::span<const uint8_t> bytes)
{
    const std::optional<std::string> utf8 =
        GbkToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!utf8) return std::nullopt;
    return QString::fromStdString(*utf8);
}

PreviewContent TextOf(QString text, const char* encoding)
{
    PreviewContent content;
    content.kind = PreviewContent::Kind::Text;
    content.text = std::move(text);
    content.encoding = QString::fromLatin1(encoding);
    return content;
}

bool Starts(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> mark)
{
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

PreviewContent ReadText(std::span<const uint8_t> bytes, bool cut)
{
    // A byte order mark decides.
    if (Starts(bytes, {0xEF, 0xBB, 0xBF})) {
        if (std::optional<QString> text = DecodeWhole(bytes.subspan(3), cut, 3, DecodeUtf8))
            return TextOf(std::move(*text), "UTF-8 BOM");
    }
    if (Starts(bytes, {0xFF, 0xFE})) return TextOf(DecodeUtf16(bytes.subspan(2), QStringDecoder::Utf16LE), "UTF-16LE");
    if (Starts(bytes, {0xFE, 0xFF})) return TextOf(DecodeUtf16(bytes.subspan(2), QStringDecoder::Utf16BE), "UTF-16BE");
    if (LooksBinary(bytes)) return {};
    if (std::optional<QString> text = DecodeWhole(bytes, cut, 3, DecodeUtf8)) return TextOf(std::move(*text), "UTF-8");
    if (std::optional<QString> text = DecodeWhole(bytes, cut, 1, DecodeGbk)) return TextOf(std::move(*text), "GBK");
    return {};
}

}  // namespace

PreviewContent ReadPreview(std::span<const uint8_t> bytes, bool cut, const QString& fileName)
{
    if (std::optional<PreviewContent> image = ReadImage(bytes, fileName)) return std::move(*image);
    return ReadText(bytes, cut);
}

}  // namespace tarvex
