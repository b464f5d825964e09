// The About page's harvest on local pages, the news ticker with its clock driven by the test, the legacy
// driver check, and the whole program under Xvfb as root and as a user.
#include "app/About.h"
#include "app/Boxes.h"
#include "app/Program.h"
#include "app/StatusPanels.h"
#include "app/Ticker.h"
#include "app/Unit1.h"
#include "legacy/int13ext2.h"
#include "rebuild/MainWindowOps.h"
#include "selection/Unit2.h"
#include "support/FatImage.h"
#include "support/PlatformNotes.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <pwd.h>
#include <unistd.h>

namespace {
struct Anchor {
    QString text;
    QString href; // empty: no href attribute
};

QString Page(const std::vector<Anchor>& anchors, const QString& extra = {})
{
    QString html = QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\">") + extra + QStringLiteral("</head><body><div>");
    for (const Anchor& a : anchors)
        html += (a.href.isNull() ? QStringLiteral("<a>") : QStringLiteral("<a href=\"%1\">").arg(a.href)) + a.text + QStringLiteral("</a> ");
    return html + QStringLiteral("</div></body></html>");
}
} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void walk_data();
    void walk();
    void pagesInTheBrowser_data();
    void pagesInTheBrowser();
    void aFrameOfAnotherUrlDoesNothing();
    void samePageTwiceAppendsTwice();
    void pageWithFramesIsHarvestedOnce();
    void unreadableDocumentIsReported();
    void tickerRotation_data();
    void tickerRotation();
    void tickerPausesUnderThePointer();
    void pressOpensTheShownLink();
    void tickerPlacement();
    void legacyDriverCheck();
    void wholeProgramUnderXvfb_data();
    void wholeProgramUnderXvfb();

private:
    bool Load(const QString& html, const QString& name = QStringLiteral("forum.html"));
    QTemporaryDir dir_;
    std::vector<QString> opened_;
    std::vector<std::pair<QString, unsigned>> boxes_;
};

void TestAbout::initTestCase()
{
    QuietPlatformNotes(); // in front of the test library's own handler
    myLabel::SetLinkOpener([this](const QString& link) { opened_.push_back(link); });
    SetMessageBoxFunction([this](const QString& text, const QString& caption, unsigned flags) {
        boxes_.push_back({caption + QLatin1Char('|') + text, flags});
        return mb::IdOk;
    });
}

void TestAbout::init()
{
    opened_.clear();
    boxes_.clear();
    Form1 = new TForm1;
    Form2 = new TForm2;
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void TestAbout::cleanup()
{
    delete Form2;
    delete Form1;
    Form2 = nullptr;
}

// Loads a page from a file into the About tab's browser, as the forum page is loaded, and waits until its
// harvest has ended.
bool TestAbout::Load(const QString& html, const QString& name)
{
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(html.toUtf8()) < 0)
        return false;
    f.close();
    QSignalSpy harvested(Form1, &TForm1::PageHarvested);
    Form1->wb1->load(QUrl::fromLocalFile(f.fileName()));
    return harvested.wait(20000);
}

void TestAbout::walk_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("taken");
    const QString start = QStringLiteral("查看新帖"), end = QStringLiteral("在线会员"), last = QStringLiteral("最后发表");
    QTest::newRow("the eight anchors") << QStringList{QStringLiteral("首页"), start, last + QStringLiteral(" 10:21"), QStringLiteral("T1"), QString(),
                                                      QStringLiteral("T2"), end, QStringLiteral("T3")}
                                       << QStringList{start, QStringLiteral("T1"), QStringLiteral("T2")};
    QTest::newRow("no start") << QStringList{QStringLiteral("T1"), end} << QStringList{};
    QTest::newRow("end before start") << QStringList{end, start, QStringLiteral("T1")} << QStringList{start, QStringLiteral("T1")};
    QTest::newRow("end with more characters") << QStringList{start, end + QStringLiteral("(3)"), QStringLiteral("T1")}
                                              << QStringList{start, end + QStringLiteral("(3)"), QStringLiteral("T1")};
    QTest::newRow("start after other characters") << QStringList{QStringLiteral(">") + start, QStringLiteral("T1")} << QStringList{};
    QTest::newRow("a second start") << QStringList{start, QStringLiteral("T1"), start} << QStringList{start, QStringLiteral("T1"), start};
    QTest::newRow("prefix in the middle") << QStringList{start, QStringLiteral("回复") + last} << QStringList{start, QStringLiteral("回复") + last};
}

void TestAbout::walk()
{
    QFETCH(QStringList, texts);
    QFETCH(QStringList, taken);
    TickerTitles = {QStringLiteral("before")};
    TickerLinks = {QStringLiteral("http://before/")};
    QStringList links;
    for (int i = 0; i < texts.size(); ++i)
        links << QStringLiteral("http://h/%1").arg(i);
    HarvestAnchors(texts, links);
    QCOMPARE(TickerTitles, QStringList{QStringLiteral("before")} + taken);
    QCOMPARE(TickerLinks.size(), TickerTitles.size());
    for (int k = 1; k < TickerTitles.size(); ++k) // each with the target of its own anchor
        QCOMPARE(TickerLinks[k], links[texts.indexOf(TickerTitles[k], k == 1 ? 0 : texts.indexOf(TickerTitles[k - 1]) + 1)]);
}

void TestAbout::pagesInTheBrowser_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("links"); // relative to the page's folder where not absolute
    const QString start = QStringLiteral("查看新帖"), end = QStringLiteral("在线会员");
    QTest::newRow("the eight anchors")
        << Page({{QStringLiteral("论坛首页"), QStringLiteral("index.php")},
                 {start, QStringLiteral("search.php?new=1")},
                 {QStringLiteral("最后发表: admin"), QStringLiteral("last.php")},
                 {QStringLiteral("T1"), QStringLiteral("t1.html")},
                 {QStringLiteral("<img src=\"x.png\" alt=\"\">"), QStringLiteral("pic.html")},
                 {QStringLiteral("T2"), QStringLiteral("http://example.org/t2")},
                 {end, QStringLiteral("online.php")},
                 {QStringLiteral("T3"), QStringLiteral("t3.html")}})
        << QStringList{start, QStringLiteral("T1"), QStringLiteral("T2")}
        << QStringList{QStringLiteral("search.php?new=1"), QStringLiteral("t1.html"), QStringLiteral("http://example.org/t2")};
    QTest::newRow("lower and upper case tags")
        << QStringLiteral("<html><body><A HREF=\"a.html\">%1</A><a href=\"b.html\">T1</a></body></html>").arg(start)
        << QStringList{start, QStringLiteral("T1")} << QStringList{QStringLiteral("a.html"), QStringLiteral("b.html")};
    QTest::newRow("image-map areas are no anchors")
        << QStringLiteral("<html><body><img usemap=\"#m\" src=\"m.png\"><map name=\"m\"><area href=\"s.html\" alt=\"%1\" shape=\"rect\" coords=\"0,0,9,9\">"
                          "</map><a href=\"t.html\">T1</a></body></html>").arg(start)
        << QStringList{} << QStringList{};
    QTest::newRow("an anchor without a target") << Page({{start, QStringLiteral("s.html")}, {QStringLiteral("T1"), QString()}})
                                                << QStringList{start, QStringLiteral("T1")} << QStringList{QStringLiteral("s.html"), QString()};
}

void TestAbout::pagesInTheBrowser()
{
    QFETCH(QString, html);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, links);
    QVERIFY(Load(html));
    QCOMPARE(TickerTitles, titles);
    QStringList expected;
    for (const QString& l : links)
        expected << (l.isEmpty() || l.contains(QLatin1Char(':')) ? l : QUrl::fromLocalFile(dir_.path()).toString() + QLatin1Char('/') + l);
    QCOMPARE(TickerLinks, expected);
    QVERIFY(boxes_.empty());
}

void TestAbout::aFrameOfAnotherUrlDoesNothing()
{
    QVERIFY(Load(Page({{QStringLiteral("查看新帖"), QStringLiteral("s.html")}})));
    QCOMPARE(TickerTitles.size(), 1);
    QSignalSpy harvested(Form1, &TForm1::PageHarvested);
    Form1->wb1DocumentComplete(QUrl::fromLocalFile(dir_.filePath(QStringLiteral("frame.html"))));
    QVERIFY(!harvested.wait(1000));
    QCOMPARE(TickerTitles.size(), 1);
    // The same completion under the URL of the last navigation begun harvests again.
    Form1->wb1DocumentComplete(QUrl(LastNavigateUrl.toString()));
    QVERIFY(harvested.wait(20000));
    QCOMPARE(TickerTitles.size(), 2);
}

void TestAbout::samePageTwiceAppendsTwice()
{
    const QString html = Page({{QStringLiteral("查看新帖"), QStringLiteral("s.html")}, {QStringLiteral("T1"), QStringLiteral("t.html")}});
    QVERIFY(Load(html));
    QVERIFY(Load(html));
    QCOMPARE(TickerTitles, (QStringList{QStringLiteral("查看新帖"), QStringLiteral("T1"), QStringLiteral("查看新帖"), QStringLiteral("T1")}));
    QCOMPARE(TickerLinks.size(), 4);
}

void TestAbout::pageWithFramesIsHarvestedOnce()
{
    // The frames' navigations begin after the page's: the completion of the last one begun harvests the
    // page, the page's own completion (another URL) does not.
    QFile frame(dir_.filePath(QStringLiteral("frame.html")));
    QVERIFY(frame.open(QIODevice::WriteOnly));
    frame.write("<html><body><a href=\"x.html\">inside the frame</a></body></html>");
    frame.close();
    QSignalSpy harvested(Form1, &TForm1::PageHarvested);
    QVERIFY(Load(Page({{QStringLiteral("查看新帖"), QStringLiteral("s.html")}, {QStringLiteral("T1"), QStringLiteral("t.html")}},
                      QString()).replace(QStringLiteral("</body>"), QStringLiteral("<iframe src=\"frame.html\"></iframe></body>"))));
    QCOMPARE(LastNavigateUrl.toString(), QUrl::fromLocalFile(frame.fileName()).toString());
    QVERIFY(!harvested.wait(1000)); // no second harvest
    QCOMPARE(harvested.count(), 1);
    QCOMPARE(TickerTitles, (QStringList{QStringLiteral("查看新帖"), QStringLiteral("T1")}));
}

void TestAbout::unreadableDocumentIsReported()
{
    // A page whose document model throws when its anchors' texts are read.
    const QString breaker = QStringLiteral("<script>Object.defineProperty(HTMLElement.prototype, 'innerText', "
                                           "{ get: function () { throw new Error('document unreadable'); } });</script>");
    QVERIFY(Load(Page({{QStringLiteral("查看新帖"), QStringLiteral("s.html")}, {QStringLiteral("T1"), QStringLiteral("t.html")}}, breaker)));
    QVERIFY(TickerTitles.isEmpty() && TickerLinks.isEmpty());
    QCOMPARE(boxes_.size(), std::size_t(1));
    QVERIFY2(boxes_[0].first.startsWith(QStringLiteral("Rootwell|")) && boxes_[0].first.contains(QStringLiteral("document unreadable")),
             qPrintable(boxes_[0].first));
    QCOMPARE(boxes_[0].second, unsigned(mb::Ok | mb::IconError));
}

void TestAbout::tickerRotation_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("shown"); // after each tick
    QTest::newRow("three entries") << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}
                                   << QStringList{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QTest::newRow("one entry") << QStringList{QStringLiteral("A")} << QStringList{QStringLiteral("A"), QStringLiteral("A")};
    QTest::newRow("none") << QStringList{} << QStringList{QString(), QString()};
}

void TestAbout::tickerRotation()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, shown);
    QCOMPARE(Form1->tmr1->interval(), 3000);
    QVERIFY(Form1->tmr1->isActive());
    Form1->tmr1->stop(); // the test is the clock
    TickerTitles = titles;
    TickerLinks.clear();
    for (const QString& t : titles)
        TickerLinks << QStringLiteral("http://forum/") + t;
    QVERIFY(TickerLabel->text().isEmpty());
    for (const QString& expected : shown) {
        Form1->tmr1Timer();
        QCOMPARE(TickerLabel->text(), expected);
        QVERIFY(TickerIndex >= 0 && TickerIndex < std::max<int>(1, int(titles.size())));
    }
    QTest::mouseClick(TickerLabel, Qt::LeftButton);
    QCOMPARE(opened_.size(), titles.isEmpty() ? std::size_t(0) : std::size_t(1));
}

void TestAbout::tickerPausesUnderThePointer()
{
    TickerTitles = {QStringLiteral("A"), QStringLiteral("B")};
    TickerLinks = {QStringLiteral("http://a/"), QStringLiteral("http://b/")};
    Form1->tmr1Timer();
    const QColor normal = TickerLabel->palette().color(QPalette::WindowText);
    TickerLabel->CMMouseEnter();
    QVERIFY(!Form1->tmr1->isActive());
    QCOMPARE(TickerLabel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(TickerLabel->font().underline());
    QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::PointingHandCursor);
    QTest::qWait(100);
    TickerLabel->CMMouseLeave();
    QVERIFY(Form1->tmr1->isActive());
    QVERIFY(Form1->tmr1->remainingTime() > 2900); // a whole new period from the leave
    QCOMPARE(TickerLabel->palette().color(QPalette::WindowText), normal);
    QVERIFY(!TickerLabel->font().underline());
    // Back to each control's own cursor: the log keeps its text cursor.
    QVERIFY(!QApplication::overrideCursor());
}

void TestAbout::pressOpensTheShownLink()
{
    Form1->tmr1->stop();
    TickerTitles = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    TickerLinks = {QStringLiteral("http://a/"), QStringLiteral("http://b/"), QStringLiteral("http://c/")};
    Form1->tmr1Timer();
    Form1->tmr1Timer(); // shows C
    QTest::mouseClick(TickerLabel, Qt::LeftButton);
    QTest::mouseClick(TickerLabel, Qt::RightButton);
    QCOMPARE(opened_, std::vector<QString>{QStringLiteral("http://c/")});
    QCOMPARE(TickerLabel->text(), QStringLiteral("C"));
    QCOMPARE(TickerIndex, 2);
}

void TestAbout::tickerPlacement()
{
    QCOMPARE(TickerLabel->parentWidget(), static_cast<QWidget*>(Form1->stat1));
    QCOMPARE(TickerLabel->x(), 284);
    QCOMPARE(TickerLabel->y(), (Form1->stat1->height() - TickerLabel->height()) / 2);
    QCOMPARE(Form1->wb1->height(), 305);
    QCOMPARE(Form1->wb1->parentWidget(), Form1->ts2);
}

void TestAbout::legacyDriverCheck()
{
    Int13IsNT = false;
    Int13DriverHandle = 42;
    Int13UnitStart();
    QVERIFY(IsWindowsNT());
    QVERIFY(Int13IsNT);
    QCOMPARE(Int13DriverHandle, -1);
    Int13ExitProc();
    QCOMPARE(Int13DriverHandle, -1);
}

void TestAbout::wholeProgramUnderXvfb_data()
{
    QTest::addColumn<bool>("asUser");
    QTest::newRow("as this user") << false;
    QTest::newRow("as an unprivileged user") << true;
}

void TestAbout::wholeProgramUnderXvfb()
{
    QFETCH(bool, asUser);
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
        QSKIP("xvfb-run is not installed");
    if (asUser && ::geteuid() != 0)
        QSKIP("this user is unprivileged already");
    QTemporaryDir runtime; // private to the user the program runs as, as a session's runtime folder is
    // The program runs from a copy there: the build folder may lie where that user cannot go.
    const QString program = runtime.filePath(QStringLiteral("rootwell-under-test"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    if (asUser) {
        const passwd* nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        for (const QString& path : {runtime.path(), program})
            QVERIFY(::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    }
    QStringList command{QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-ac -screen 0 1280x800x24")};
    if (asUser)
        command << QStringLiteral("runuser") << QStringLiteral("-u") << QStringLiteral("nobody") << QStringLiteral("--");
    // The forum host is not looked up: every request goes to a proxy on a closed local port, as on a
    // machine without network.
    command << QStringLiteral("env") << QStringLiteral("QT_QPA_PLATFORM=xcb") << QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path()
            << QStringLiteral("HOME=") + runtime.path() << QStringLiteral("ROOTWELL_WHOLE_PROGRAM=1")
            << QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS=--proxy-server=127.0.0.1:9") << program;
    QProcess p;
    p.start(QStringLiteral("xvfb-run"), command);
    QVERIFY(p.waitForFinished(120000));
    const QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(out.trimmed(), QByteArray("about start closed"));
    QVERIFY2(err.trimmed().isEmpty(), err.constData());
}

// In the child: the program itself, which reports what it shows and closes its window.
static int WholeProgram(int argc, char** argv)
{
    return RunRootwell(argc, argv, [](TForm1& window) {
        std::printf("%s ", window.pgc1->currentWidget() == window.ts2 ? "about" : "start-too-early");
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll] {
            if (window.pgc1->currentWidget() != window.ts1 || window.wb1->page()->isLoading())
                return;
            poll->stop();
            std::printf("start closed\n");
            std::fflush(stdout);
            window.close();
        });
        poll->start(50);
    });
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("ROOTWELL_WHOLE_PROGRAM"))
        return WholeProgram(argc, argv);
    PrepareBrowserEngine();
    SetForumUrlForTesting(QUrl(QStringLiteral("about:blank"))); // no forum host is looked up here
    QApplication app(argc, argv);
    TestAbout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_about.moc"
