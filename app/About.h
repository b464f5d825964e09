#pragma once
// The About tab: the maker's forum page, and the harvest of its links for the ticker.

#include <QUrl>
#include <QWebEnginePage>
#include <functional>

// The maker's forum site. Set it to the maker's own host; the page is that host's /forum.php. The name
// stands in a domain reserved for examples, so that it points at nobody else's site.
inline constexpr const char kForumHost[] = "forum.rootwell.example";

QUrl ForumUrl();
// The tests send the browser to a page of their own instead.
void SetForumUrlForTesting(const QUrl& url);

// The About page's browser page: it tells the window of every navigation that begins (the page's and its
// frames'), cancels none, and of every document that completes. The engine reports one completion for a
// whole page; the documents of the frames the page loaded are reported complete just before it, in the
// order their navigations began, as a browser that reports each frame would.
class ForumPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit ForumPage(QObject* parent = nullptr);

Q_SIGNALS:
    void NavigationBegins(const QUrl& url);
    void DocumentComplete(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    QList<QUrl> frames_; // frame navigations begun since the page's own
};

// Walks the page's anchors (texts and targets, in document order) from the one whose whole text is
// "查看新帖" up to the one whose whole text is "在线会员", leaving out those that begin with "最后发表",
// and appends what it takes to the ticker lists.
void HarvestAnchors(const QStringList& texts, const QStringList& links);

// Reads the anchors of the page's document and harvests them. A document that cannot be read is reported
// in a box titled "Rootwell", and nothing of it is harvested.
// done runs once the harvest has taken what it takes.
void HarvestPage(QWebEnginePage* page, std::function<void()> done = {});
