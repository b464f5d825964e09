#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QPixmap Blank(int w, int h)
{
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}
} // namespace

QPixmap StartPicture()
{
    QPixmap pm = Blank(46, 47);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2E, 0x9E, 0x44));
    p.setPen(QPen(QColor(0x1B, 0x6B, 0x2C), 2));
    p.drawEllipse(QRectF(2, 2, 42, 42));
    QPainterPath play;
    play.moveTo(18, 13);
    play.lineTo(33, 23.5);
    play.lineTo(18, 34);
    play.closeSubpath();
    p.fillPath(play, Qt::white);
    return pm;
}

QPixmap StopPicture()
{
    QPixmap pm = Blank(49, 49);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xC8, 0x2A, 0x2A));
    p.setPen(QPen(QColor(0x8A, 0x16, 0x16), 2));
    p.drawEllipse(QRectF(2, 2, 45, 45));
    p.fillRect(QRectF(16, 16, 17, 17), Qt::white);
    return pm;
}

QIcon StartTabIcon()
{
    QPixmap pm = Blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x50, 0x90), 2));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.drawLine(QPointF(9, 9), QPointF(14, 14));
    return QIcon(pm);
}

QIcon AboutTabIcon()
{
    QPixmap pm = Blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x30, 0x70, 0xC0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.fillRect(QRectF(7, 7, 2, 5), Qt::white);
    p.fillRect(QRectF(7, 4, 2, 2), Qt::white);
    return QIcon(pm);
}
