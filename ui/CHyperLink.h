#pragma once
// A static text that behaves as a link: underlined, hand cursor, a tooltip,
// colours for link, active, visited and hover, opened through the desktop's
// URL handler, failures reported in words.
//
// "Armed" decides whether a button-up opens the link: it is set by the
// pointer move that enters the control, by button-down and by focus gain,
// and cleared by every later pointer move over the control and by focus
// loss. So a click with the pointer at rest opens, and moving the pointer
// between button-down and button-up cancels.
#include <QLabel>
#include <QUrl>
#include <functional>
#include <optional>

namespace tarvex {

class CHyperLink final : public QLabel {
    Q_OBJECT
public:
    enum StyleBit : uint32_t {
        kUnderline = 0x01,
        kHoverColour = 0x02,
        kFitToText = 0x04,
        kOpenOnButtonDown = 0x08,
        kFocusOnButtonDown = 0x10,
        kKeepCursor = 0x20,
        kNoActiveColour = 0x40,
    };
    // Opens a target; a result above 32 means it was opened.
    using Opener = std::function<int(const QString& target)>;

    explicit CHyperLink(QWidget* parent = nullptr);

    // The four colours; no hover colour means the desktop's highlight colour
    // as it is now.
    void SetLinkColors(QColor link, QColor active, QColor visited, std::optional<QColor> hover);
    // Once the control is prepared it is also refitted and the tooltip
    // shows the target.
    void SetLinkTarget(const QString& target);
    const QString& LinkTarget() const { return target_; }
    void SetLinkStyle(uint32_t style) { style_ = style; }
    uint32_t LinkStyle() const { return style_; }
    // Tests open targets without a desktop.
    void SetOpener(Opener opener) { opener_ = std::move(opener); }

    // Binding to its place in the dialog: target and text from each other,
    // the underlined font, the cursor, the tooltip and the fitted size.
    void Prepare();

    // Opens the target through the desktop's URL handler; a target without
    // a scheme is a web address.
    static int OpenTarget(const QString& target);
    // The address a target opens: one without a scheme is a web address.
    static QUrl LinkUrl(const QString& target);
    // Opens the control's target; reports a failure, marks success visited.
    void ActivateLink();
    // "无法打开链接:\n\n" and the words for a failure code.
    static QString OpenErrorText(int code);
    static void ShowOpenError(QWidget* parent, int code);

    bool Armed() const { return armed_; }
    bool Over() const { return over_; }
    bool Visited() const { return visited_; }
    // The colour the text is drawn in now.
    QColor TextColor() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Refit();
    void ShowState();

    bool armed_ = false;
    bool over_ = false;
    bool visited_ = false;
    bool prepared_ = false;
    uint32_t style_ = kUnderline | kFitToText | kFocusOnButtonDown;
    QString target_;
    QColor link_{0, 0, 255};
    QColor active_{255, 0, 0};
    QColor visitedColour_{0, 0, 255};
    QColor hover_;
    Opener opener_ = &CHyperLink::OpenTarget;
};

}  // namespace tarvex
