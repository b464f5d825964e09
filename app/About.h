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

// The About page's browser page: it tells the window of every navigation that begins, cancels none, and
// keeps the pages' console messages to itself.
class ForumPage : public QWebEnginePage {
    Q_OBJECT
public:
    using QWebEnginePage::QWebEnginePage;

Q_SIGNALS:
    void NavigationBegins(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

// Walks the page's anchors (texts and targets, in document order) from the one whose whole text is
// "查看新帖" up to the one whose whole text is "在线会员", leaving out those that begin with "最后发表",
// and appends what it takes to the ticker lists.
void HarvestAnchors(const QStringList& texts, const QStringList& links);

// Reads the anchors of the page's document and harvests them. A document that cannot be read is reported
// in a box titled "Rootwell", and nothing of it is harvested.
// done runs once the harvest has taken what it takes.
void HarvestPage(QWebEnginePage* page, std::function<void()> done = {});
