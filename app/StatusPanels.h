#pragma once
// The status bar: three panels of 80 and 200 pixels and the rest of the width.

#include <QFrame>
#include <QTimer>

class QLabel;

// A scan that finds a directory every few microseconds sets a panel's text as often; the panels show the
// latest text a few dozen times a second, which is all an eye can read, and say it at once when asked.
class StatusPanels : public QFrame {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget* parent = nullptr);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    int PanelWidth(int panel) const;
    QLabel* Panel(int panel) const { return panels_[panel]; }

private:
    void Show();
    QLabel* panels_[3];
    QString texts_[3];
    QTimer show_;
};
