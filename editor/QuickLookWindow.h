#pragma once
// The quick look: a window beside the main window that shows the selected
// file without extracting it: text with line numbers, a picture scaled to
// fit, or the bytes in hex. It reads the file as extraction does (a file of
// the pack decoded by its scheme, a file not saved yet from its disk file),
// the first 64 MiB of a larger one (of a text, the first 8 MiB are shown).
// Space or Esc closes it; its button opens the file in its own program.
#include <QWidget>
#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace tarvex {

class CTarvexDoc;
class HexView;
class ImagePreview;
class TextPreview;
struct Folder;

class QuickLookWindow final : public QWidget {
    Q_OBJECT
public:
    // The most of a file that is read for a look.
    static constexpr size_t kLookLimit = size_t{64} << 20;

    QuickLookWindow(CTarvexDoc& doc, QWidget* owner);
    ~QuickLookWindow() override;

    // Shows file entry `index`.
    void ShowEntry(size_t index);
    // A folder is selected: there is no file to look into.
    void ShowFolder(const Folder& folder);
    // The entry shown, while the catalogue still holds it.
    std::optional<size_t> ShownEntry() const;

    enum class Page { Text, Image, Hex, Note };
    Page Shown() const;
    // The line above the content: what the file was read as.
    QString Description() const;
    TextPreview& Text() const { return *text_; }
    ImagePreview& Image() const { return *image_; }
    HexView& Hex() const { return *hex_; }
    // The text shown instead of the content (a folder, a file that cannot be read).
    QString Note() const;
    QPushButton& OpenButton() const { return *open_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenInProgram();

    CTarvexDoc& doc_;
    QLabel* description_;
    QStackedWidget* pages_;
    TextPreview* text_;
    ImagePreview* image_;
    HexView* hex_;
    QLabel* note_;
    QPushButton* open_;
    uint64_t identity_ = 0;
    size_t indexHint_ = 0;
};

}  // namespace tarvex
