#pragma once
// The progress gauge: an integer range and a position, drawn as a blue bar on white with its whole
// percentage. The position always lies inside the range; an inverted range is refused.

#include <QWidget>

class Gauge : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int position() const { return pos_; }
    // Refused, leaving the gauge as it was, when the new bound would lie on the wrong side of the other.
    bool SetMinValue(int value);
    bool SetMaxValue(int value);
    // Clamped to the nearer end of the range.
    void SetProgress(int value);
    // 100 * (position - min) / (max - min), truncated; 0 when the range is empty.
    int Percent() const;
    QString Text() const { return QString::number(Percent()) + QLatin1Char('%'); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int min_ = 0;
    int max_ = 100;
    int pos_ = 0;
};
