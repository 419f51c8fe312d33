// The About box: the star projection and movement arithmetic, the credits'
// rise and restart, the links' arming rules, colours, texts and error
// reports.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "ui/CAboutDlg.h"
#include "ui/CCreditsCtrl.h"
#include "ui/CHyperLink.h"
#include "tests/gui/EditorHarness.h"

namespace tarvex::test {
namespace {

void Mouse(CHyperLink& link, QEvent::Type type, QPoint at = {2, 2})
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, link.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&link, &event);
}

}  // namespace

class AboutBoxTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    void starsProjectAroundTheCentre_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("z");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("grey");
        // Panel 200 x 100: centre (100, 50).
        QTest::addRow("z 0 divides by 256, white") << 512 << -512 << 0 << QPoint(300, -150) << 255;
        QTest::addRow("z -1 is black") << 256 << 256 << -1 << QPoint(200, 150) << 0;
        QTest::addRow("z 255 is black") << 510 << 0 << 255 << QPoint(199, 50) << 0;
        QTest::addRow("nearest") << 3 << -2 << -255 << QPoint(400, -150) << 254;
        QTest::addRow("quotients truncate towards 0") << -1 << 2 << 0 << QPoint(100, 50) << 255;
    }

    void starsProjectAroundTheCentre()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, z);
        QFETCH(QPoint, at);
        QFETCH(int, grey);
        const StarPoint p = ProjectStar({x, y, z}, 200, 100);
        QCOMPARE(QPoint(p.x, p.y), at);
        QCOMPARE(p.grey, grey);
    }

    void starsComeNearerAndStartAgainFarAway()
    {
        Star star{0, 0, 100};
        MoveStar(star, 30);
        QCOMPARE(star.z, 70);
        star.z = -250;
        MoveStar(star, 30);
        QCOMPARE(star.z, 255);
        star.z = 250;
        MoveStar(star, -30);
        QCOMPARE(star.z, -255);
    }

    void theScrollSpeedIsNeverZero()
    {
        QCOMPARE(CalibratedScrollSpeed(0, 2), 2);
        QCOMPARE(CalibratedScrollSpeed(24, 2), 2);
        QCOMPARE(CalibratedScrollSpeed(100, 2), 4);
        QCOMPARE(CalibratedScrollSpeed(0, 0), 1);
        QCOMPARE(CalibratedScrollSpeed(1'000'000, 2), 64);
    }

    void theCreditsRiseAndStartAgainFromBelow()
    {
        CAboutDlg about;
        CCreditsCtrl& credits = about.Credits();
        QCOMPARE(credits.Lines().size(), 12);
        QCOMPARE(credits.Lines()[0], QStringLiteral("Tarvex"));
        QCOMPARE(credits.Lines()[1], QStringLiteral(" "));
        QCOMPARE(credits.Lines()[7], QString::fromUtf8(CAboutDlg::kHomePage));
        QCOMPARE(credits.Stars().size(), size_t(CCreditsCtrl::kStarCount));
        QVERIFY(credits.Running());
        const int speed = credits.ScrollSpeed();
        QVERIFY(speed > 0);
        // One frame was drawn at the start, from the bottom edge.
        QCOMPARE(credits.TextTop(), credits.height() - speed);
        // Nothing of the text is above the bottom edge yet: only stars,
        // which are grey (equal channels) as the text is.
        const int top = credits.TextTop();
        credits.RenderFrame();
        QCOMPARE(credits.TextTop(), top - speed);
        bool restarted = false;
        for (int frame = 0; frame < 5000 && !restarted; ++frame) {
            const int before = credits.TextTop();
            credits.RenderFrame();
            restarted = credits.TextTop() > before;
        }
        QVERIFY(restarted);
        QCOMPARE(credits.TextTop(), credits.height() - speed);
    }

    void theBoxShowsItsTextsAndLinks()
    {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("关于Tarvex"));
        QStringList texts;
        for (QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("关于Tarvex 0.1 版")));
        QVERIFY(texts.contains(QStringLiteral("测试版本！请注意更新")));
        QCOMPARE(about.HomeLink().LinkTarget(), QString::fromUtf8(CAboutDlg::kHomePage));
        QCOMPARE(about.ForumLink().LinkTarget(), QString::fromUtf8(CAboutDlg::kForum));
        QVERIFY(about.HomeLink().text().endsWith(QStringLiteral("    ") + QString::fromUtf8(CAboutDlg::kHomePage)));
        QVERIFY(about.ForumLink().text().endsWith(QStringLiteral("  ") + QString::fromUtf8(CAboutDlg::kForum)));
        QVERIFY(about.HomeLink().font().underline());
        QCOMPARE(about.HomeLink().cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(about.HomeLink().toolTip(), QStringLiteral("欢迎访问我的主页！"));
        // Fitted to the text.
        QCOMPARE(about.HomeLink().width(), about.HomeLink().fontMetrics().horizontalAdvance(about.HomeLink().text()));
        QCOMPARE(CHyperLink::LinkUrl(QStringLiteral("tarvex.example.org")).toString(),
                 QStringLiteral("https://tarvex.example.org"));
        QCOMPARE(CHyperLink::LinkUrl(QStringLiteral("mailto:team@tarvex.example.org")).scheme(),
                 QStringLiteral("mailto"));
    }

    // A click with the pointer at rest opens; a move between button-down
    // and button-up cancels; with open-on-button-down the press opens.
    void linksOpenOnAClickAtRest()
    {
        CAboutDlg about;
        about.show();
        CHyperLink& link = about.HomeLink();
        QStringList opened;
        link.SetOpener([&opened](const QString& target) {
            opened << target;
            return 42;
        });
        Mouse(link, QEvent::MouseMove);
        QVERIFY(link.Over() && link.Armed());
        QCOMPARE(link.TextColor(), QColor(255, 0, 0));
        Mouse(link, QEvent::MouseButtonPress);
        Mouse(link, QEvent::MouseButtonRelease);
        QCOMPARE(opened, QStringList{QString::fromUtf8(CAboutDlg::kHomePage)});
        QVERIFY(link.Visited());

        Mouse(link, QEvent::MouseButtonPress);
        Mouse(link, QEvent::MouseMove, {3, 3});
        QVERIFY(!link.Armed());
        Mouse(link, QEvent::MouseButtonRelease);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(link.TextColor(), QColor(0, 0, 255));

        link.SetLinkStyle(link.LinkStyle() | CHyperLink::kOpenOnButtonDown);
        Mouse(link, QEvent::MouseButtonPress);
        QCOMPARE(opened.size(), 2);
        Mouse(link, QEvent::MouseButtonRelease);
        QCOMPARE(opened.size(), 2);

        // Leaving the control clears over; the space bar opens.
        Mouse(link, QEvent::MouseMove, {-5, -5});
        QVERIFY(!link.Over());
        QTest::keyClick(&link, Qt::Key_Space);
        QCOMPARE(opened.size(), 3);
    }

    void theHoverColourNeedsItsStyleBit()
    {
        CHyperLink link;
        link.setText(QStringLiteral("link"));
        link.SetLinkColors(Qt::blue, Qt::red, Qt::darkBlue, QColor(0, 128, 0));
        link.Prepare();
        QCOMPARE(link.TextColor(), QColor(Qt::blue));
        Mouse(link, QEvent::MouseMove);
        QCOMPARE(link.TextColor(), QColor(Qt::red));
        link.SetLinkStyle(link.LinkStyle() | CHyperLink::kHoverColour);
        QCOMPARE(link.TextColor(), QColor(0, 128, 0));
        link.SetLinkStyle(CHyperLink::kNoActiveColour);
        QCOMPARE(link.TextColor(), QColor(Qt::blue));
        // Without a target the text is the target.
        QCOMPARE(link.LinkTarget(), QStringLiteral("link"));
    }

    void aFailedOpeningIsReportedAndNotVisited()
    {
        CAboutDlg about;
        CHyperLink& link = about.ForumLink();
        link.SetOpener([](const QString&) { return 31; });
        BoxAnswerer box;
        link.ActivateLink();
        QVERIFY(box.answered);
        QCOMPARE(box.text, QStringLiteral("无法打开链接:\n\n没有应用程序与给出的扩展名关联!"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY(!link.Visited());
    }

    void openErrorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        QTest::addRow("0") << 0 << QStringLiteral("操作系统内存或计算机资源不足!");
        QTest::addRow("2") << 2 << QStringLiteral("未找到指定的文件!");
        QTest::addRow("4") << 4 << QStringLiteral("发生未知错误(4)!");
        QTest::addRow("28") << 28 << QStringLiteral("由于超过请求时间，DDE操作无法完成!");
        QTest::addRow("32") << 32 << QStringLiteral("指定的动态链接库未找到!");
    }

    void openErrorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, words);
        QCOMPARE(CHyperLink::OpenErrorText(code), QStringLiteral("无法打开链接:\n\n") + words);
    }
};

std::unique_ptr<QObject> MakeAboutBoxTest()
{
    return std::make_unique<AboutBoxTest>();
}

}  // namespace tarvex::test

#include "AboutBoxTest.moc"
