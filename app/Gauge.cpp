#include "app/Gauge.h"

#include <QPainter>
#include <algorithm>

Gauge::Gauge(QWidget* parent) : QWidget(parent) {}

bool Gauge::SetMinValue(int value)
{
    if (value > max_)
        return false;
    min_ = value;
    SetProgress(pos_);
    update();
    return true;
}

bool Gauge::SetMaxValue(int value)
{
    if (value < min_)
        return false;
    max_ = value;
    SetProgress(pos_);
    update();
    return true;
}

void Gauge::SetProgress(int value)
{
    const int clamped = std::clamp(value, min_, max_);
    if (clamped == pos_)
        return;
    const int before = Percent();
    pos_ = clamped;
    if (Percent() != before) // a repaint per percent is enough, however often the position moves
        update();
}

int Gauge::Percent() const
{
    if (max_ == min_)
        return 0;
    return int(100LL * (qint64(pos_) - min_) / (qint64(max_) - min_));
}

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.fillRect(rect(), Qt::white);
    const QRect inner = frame.adjusted(1, 1, 0, 0);
    const int filled = int(qint64(inner.width()) * Percent() / 100);
    const QRect bar(inner.left(), inner.top(), filled, inner.height());
    p.fillRect(bar, Qt::blue);
    p.setPen(Qt::black);
    p.drawRect(frame);
    // The percentage reads in blue on white and in white on the bar.
    p.setClipRect(inner);
    p.setPen(Qt::blue);
    p.drawText(inner, Qt::AlignCenter, Text());
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inner, Qt::AlignCenter, Text());
}
