#pragma once
// The news ticker on the status bar: one link text of the forum page at a time, the next every three
// seconds; under the pointer it pauses and looks like a link, and a left press opens the link shown.

#include <QLabel>
#include <QStringList>
#include <QVariant>
#include <functional>

class QTimer;

// The ticker's lists, filled by the About page's harvest: entry i of TickerLinks is the target of entry i
// of TickerTitles. TickerIndex is the entry shown.
extern QStringList TickerTitles;
extern QStringList TickerLinks;
extern int TickerIndex;
extern QVariant LastNavigateUrl; // the URL of the last navigation the About page began

class myLabel : public QLabel {
    Q_OBJECT
public:
    // timer: the window's tmr1, paused while the pointer rests on the label.
    myLabel(QWidget* statusBar, QTimer* timer);

    // Opens a link with the desktop's default handler; the tests watch it instead.
    using LinkOpener = std::function<void(const QString& link)>;
    static void SetLinkOpener(LinkOpener opener);

    void CMMouseEnter();
    void CMMouseLeave();
    void WMLBUTTONDOWN();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void SetLinkLook(bool on);
    QTimer* timer_;
    bool handCursor_ = false;
};

extern myLabel* TickerLabel;

// The step of tmr1: the next entry, shown.
void AdvanceTicker();
