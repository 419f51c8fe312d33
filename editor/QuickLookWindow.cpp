#include "editor/QuickLookWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "editor/CTarvexDoc.h"
#include "editor/HexView.h"
#include "editor/ImagePreview.h"
#include "editor/PreviewContent.h"
#include "editor/TextPreview.h"
#include "schemes/EntryContent.h"
#include "schemes/SchemeId.h"
#include "talk/DeferredPrompt.h"

namespace tarvex {
namespace {

constexpr const char* kOpenInProgram = "用默认程序打开";
constexpr const char* kTitle = "%1 - %2字节 - %3";
constexpr const char* kTextOf = "文本，%1编码，%2行";
constexpr const char* kImageOf = "图像，%1格式，%2 × %3像素";
constexpr const char* kBytesOf = "二进制文件，按十六进制显示";
constexpr const char* kFirstPart = "（文件超过%1MB，只显示了前%1MB）";
constexpr const char* kAFolder = "“%1”是一个文件夹。";

QString Utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

// Lines of a text; a line break at its end starts no line of its own.
qsizetype LineCount(const QString& text)
{
    return text.count(QLatin1Char('\n')) + (text.isEmpty() || text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

}  // namespace

QuickLookWindow::QuickLookWindow(CTarvexDoc& doc, QWidget* owner)
    // A tool window: it stays above the main window, also when that is
    // raised for a question.
    : QWidget(owner, Qt::Tool),
      doc_(doc),
      description_(new QLabel(this)),
      pages_(new QStackedWidget(this)),
      text_(new TextPreview(pages_)),
      image_(new ImagePreview(pages_)),
      hex_(new HexView(pages_)),
      note_(new QLabel(pages_)),
      open_(new QPushButton(QString::fromUtf8(kOpenInProgram), this))
{
    setObjectName(QStringLiteral("quickLook"));
    // The list keeps the keyboard: Up and Down go on choosing the file shown.
    setAttribute(Qt::WA_ShowWithoutActivating);
    description_->setObjectName(QStringLiteral("quickLookDescription"));
    note_->setObjectName(QStringLiteral("quickLookNote"));
    note_->setAlignment(Qt::AlignCenter);
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    open_->setObjectName(QStringLiteral("openInProgram"));
    pages_->addWidget(text_);
    pages_->addWidget(image_);
    pages_->addWidget(hex_);
    pages_->addWidget(note_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(open_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(description_);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(open_, &QPushButton::clicked, this, &QuickLookWindow::OpenInProgram);
    for (QWidget* w : {static_cast<QWidget*>(text_), text_->viewport(), static_cast<QWidget*>(hex_), hex_->viewport(),
                       static_cast<QWidget*>(image_), static_cast<QWidget*>(note_), static_cast<QWidget*>(open_)})
        w->installEventFilter(this);
}

QuickLookWindow::~QuickLookWindow() = default;

void QuickLookWindow::ShowEntry(size_t index)
{
    const Catalogue& catalogue = doc_.GetCatalogue();
    if (index >= catalogue.Entries().size()) return;
    const FileEntry& entry = catalogue.Entries()[index];
    identity_ = entry.identity;
    indexHint_ = index;
    setWindowTitle(QString::fromUtf8(kTitle).arg(Utf8(ShownPath(catalogue, index)), QString::number(entry.fileSize),
                                                 Utf8(SchemeName(entry.scheme, catalogue.Plugins()))));

    // The extraction's messages are shown in the window, not as boxes.
    DeferredPrompt held;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<EntryHead> head = ReadEntryHead(doc_.Pack(), index, kLookLimit, held, doc_.Plugins());
    if (!head) {
        QApplication::restoreOverrideCursor();
        QStringList said;
        for (const DeferredMessage& m : held.Take()) said << Utf8(m.text);
        description_->clear();
        note_->setText(said.join(QLatin1Char('\n')));
        pages_->setCurrentWidget(note_);
        open_->setEnabled(false);
        show();
        return;
    }
    const PreviewContent content = ReadPreview(head->bytes, head->Cut(), Utf8(GbkToUtf8Lossy(entry.name)));
    // The pages not shown let go of the last file's content.
    text_->SetText({});
    image_->SetImage({});
    hex_->SetBytes({});
    QString description;
    switch (content.kind) {
        case PreviewContent::Kind::Text:
            text_->SetText(content.text);
            description = QString::fromUtf8(kTextOf).arg(content.encoding).arg(LineCount(content.text));
            pages_->setCurrentWidget(text_);
            break;
        case PreviewContent::Kind::Image:
            image_->SetImage(content.image);
            description = QString::fromUtf8(kImageOf)
                              .arg(content.imageFormat.toUpper())
                              .arg(content.image.width())
                              .arg(content.image.height());
            pages_->setCurrentWidget(image_);
            break;
        case PreviewContent::Kind::Hex:
            hex_->SetBytes(QByteArray(reinterpret_cast<const char*>(head->bytes.data()),
                                      static_cast<qsizetype>(head->bytes.size())));
            description = QString::fromUtf8(kBytesOf);
            pages_->setCurrentWidget(hex_);
            break;
    }
    QApplication::restoreOverrideCursor();
    if (content.shownBytes < head->fileSize) description += QString::fromUtf8(kFirstPart).arg(content.shownBytes >> 20);
    description_->setText(description);
    open_->setEnabled(true);
    show();
}

void QuickLookWindow::ShowFolder(const Folder& folder)
{
    identity_ = 0;
    setWindowTitle(Utf8(ShownPath(folder)));
    description_->clear();
    note_->setText(QString::fromUtf8(kAFolder).arg(Utf8(GbkToUtf8Lossy(folder.name))));
    pages_->setCurrentWidget(note_);
    open_->setEnabled(false);
    show();
}

std::optional<size_t> QuickLookWindow::ShownEntry() const
{
    if (identity_ == 0) return std::nullopt;
    return doc_.GetCatalogue().EntryIndexOf(identity_, indexHint_);
}

QuickLookWindow::Page QuickLookWindow::Shown() const
{
    QWidget* page = pages_->currentWidget();
    if (page == text_) return Page::Text;
    if (page == image_) return Page::Image;
    if (page == hex_) return Page::Hex;
    return Page::Note;
}

QString QuickLookWindow::Description() const
{
    return description_->text();
}

QString QuickLookWindow::Note() const
{
    return note_->text();
}

void QuickLookWindow::OpenInProgram()
{
    const std::optional<size_t> index = ShownEntry();
    if (index) doc_.External().OpenInDefaultProgram(*index);
}

bool QuickLookWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Escape) {
            hide();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuickLookWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tarvex
