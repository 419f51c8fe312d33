#pragma once
// The About box's animated panel: a star field flying towards the viewer,
// and credit lines rising from the bottom and receding into the distance in
// perspective (narrow at the top, full width at the bottom), fading out as
// they go. Everything is drawn off-screen; a paint copies the frame.
#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <random>
#include <vector>

namespace tarvex {

// A star in a space centred on the panel: x and y in -512..512, z (depth)
// in -255..255.
struct Star {
    int x = 0;
    int y = 0;
    int z = 0;
};

// Where a star is drawn and how bright.
struct StarPoint {
    int x = 0;
    int y = 0;
    int grey = 0;
};

// Moves a star speed steps nearer, back to the far end once it has passed.
void MoveStar(Star& star, int speed);
// The star's place on a panel of that size: x * 100 / (z + 256) from the
// centre (integer arithmetic); near stars bright, far ones dark.
StarPoint ProjectStar(const Star& star, int width, int height);
// The rise per frame for a first frame that took frameMs: faster when frames
// are slow, never less than the speed set (nor 0), at most 64 pixels.
int CalibratedScrollSpeed(int64_t frameMs, int speed);

class CCreditsCtrl final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStarCount = 100;
    static constexpr int kFramePeriodMs = 75;

    explicit CCreditsCtrl(QWidget* parent = nullptr);

    void AddLine(const QString& text) { lines_ << text; }
    void SetStarSpeed(int n) { starSpeed_ = n; }
    void SetScrollSpeed(int n) { scrollSpeed_ = n; }

    // Binding to its place in the dialog: random stars, the credits below
    // the bottom edge, one frame drawn and timed, then the frame timer.
    void Start();
    // One frame: stars moved and drawn, the credits drawn in perspective
    // over them and moved up.
    void RenderFrame();

    const QImage& Frame() const { return frame_; }
    std::vector<Star>& Stars() { return stars_; }
    int ScrollSpeed() const { return scrollSpeed_; }
    int TextTop() const { return textTop_; }
    const QStringList& Lines() const { return lines_; }
    bool Running() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void DrawStars();
    QImage DrawText();
    void Squeeze(const QImage& text);

    std::vector<Star> stars_;
    int starSpeed_ = 30;
    int scrollSpeed_ = 2;
    int textTop_ = 0;
    QFont font_;
    QImage frame_;
    QStringList lines_;
    QBasicTimer timer_;
    std::minstd_rand random_;
};

}  // namespace tarvex
