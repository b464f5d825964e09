#include "app/Ticker.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

QStringList TickerTitles;
QStringList TickerLinks;
int TickerIndex = 0;
QVariant LastNavigateUrl;
myLabel* TickerLabel = nullptr;

namespace {
myLabel::LinkOpener& Opener()
{
    static myLabel::LinkOpener open = [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); };
    return open;
}
} // namespace

myLabel::myLabel(QWidget* statusBar, QTimer* timer) : QLabel(statusBar), timer_(timer) {}

void myLabel::SetLinkOpener(LinkOpener opener)
{
    static const LinkOpener desktop = Opener();
    Opener() = opener ? std::move(opener) : desktop;
}

void myLabel::SetLinkLook(bool on)
{
    QPalette p = palette();
    if (on)
        p.setColor(QPalette::WindowText, QColor(255, 0, 0));
    else
        p = parentWidget()->palette(); // the default colour
    setPalette(p);
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}

void myLabel::CMMouseEnter()
{
    timer_->stop();
    SetLinkLook(true);
    if (!handCursor_) {
        QApplication::setOverrideCursor(Qt::PointingHandCursor);
        handCursor_ = true;
    }
}

void myLabel::CMMouseLeave()
{
    timer_->start(); // a whole new period from now
    SetLinkLook(false);
    // Back to each control's own cursor: the log keeps its text cursor.
    if (handCursor_) {
        QApplication::restoreOverrideCursor();
        handCursor_ = false;
    }
}

void myLabel::WMLBUTTONDOWN()
{
    if (TickerIndex < TickerTitles.size())
        Opener()(TickerLinks.value(TickerIndex));
}

void myLabel::enterEvent(QEnterEvent*) { CMMouseEnter(); }

void myLabel::leaveEvent(QEvent*) { CMMouseLeave(); }

void myLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        WMLBUTTONDOWN();
}

void AdvanceTicker()
{
    ++TickerIndex;
    if (TickerIndex >= TickerTitles.size())
        TickerIndex = 0;
    if (TickerIndex < TickerTitles.size() && TickerLabel) {
        TickerLabel->setText(TickerTitles[TickerIndex]);
        TickerLabel->adjustSize();
    }
}
