#include "app/About.h"

#include "app/Boxes.h"
#include "app/Ticker.h"
#include "rebuild/MainWindowOps.h"

namespace {
QUrl& TestUrl()
{
    static QUrl url;
    return url;
}

// Every element of the body in document order; of the anchors (tag name A, in any case) the rendered text
// and the target. An exception while reading is handed back as the error it is.
const char16_t kReadAnchors[] = uR"((function () {
  try {
    var body = document.body;
    if (!body) return [];
    var all = body.getElementsByTagName('*'), anchors = [];
    for (var i = 0; i < all.length; ++i) {
      var e = all[i];
      if (String(e.tagName).toUpperCase() !== 'A') continue;
      var href = typeof e.href === 'string' ? e.href : (e.href && e.href.baseVal) || '';
      anchors.push([String(e.innerText === undefined ? e.textContent : e.innerText), String(href)]);
    }
    return anchors;
  } catch (error) {
    return { error: String(error && error.message ? error.message : error) };
  }
})())";
} // namespace

QUrl ForumUrl()
{
    if (!TestUrl().isEmpty())
        return TestUrl();
    return QUrl(QStringLiteral("https://%1/forum.php").arg(QLatin1String(kForumHost)));
}

void SetForumUrlForTesting(const QUrl& url) { TestUrl() = url; }

ForumPage::ForumPage(QObject* parent) : QWebEnginePage(parent)
{
    connect(this, &QWebEnginePage::loadFinished, this, [this] {
        const QList<QUrl> frames = std::exchange(frames_, {});
        for (const QUrl& frame : frames)
            Q_EMIT DocumentComplete(frame);
        Q_EMIT DocumentComplete(url());
    });
}

bool ForumPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame)
{
    if (isMainFrame)
        frames_.clear();
    else
        frames_ << url;
    Q_EMIT NavigationBegins(url);
    return true;
}

void HarvestAnchors(const QStringList& texts, const QStringList& links)
{
    bool started = false;
    for (qsizetype j = 0; j < texts.size(); ++j) {
        const QString& text = texts[j];
        if (text.isEmpty())
            continue;
        if (text == QStringLiteral("查看新帖"))
            started = true;
        if (!started)
            continue;
        if (text == QStringLiteral("在线会员"))
            break;
        if (text.startsWith(QStringLiteral("最后发表")))
            continue;
        TickerTitles << text;
        TickerLinks << links.value(j);
    }
}

void HarvestPage(QWebEnginePage* page, std::function<void()> done)
{
    page->runJavaScript(QString::fromUtf16(kReadAnchors), [done = std::move(done)](const QVariant& result) {
        if (result.typeId() == QMetaType::QVariantMap) {
            MessageBoxA(result.toMap().value(QStringLiteral("error")).toString(), QStringLiteral("Rootwell"),
                        mb::Ok | mb::IconError);
            if (done)
                done();
            return;
        }
        // No result at all: the browser holds no document it can read (an error page): nothing to take.
        QStringList texts, links;
        for (const QVariant& anchor : result.toList()) {
            const QVariantList pair = anchor.toList();
            texts << pair.value(0).toString();
            links << pair.value(1).toString();
        }
        HarvestAnchors(texts, links);
        if (done)
            done();
    });
}
