#pragma once
// The status bar: three panels of 80 and 200 pixels and the rest of the width.

#include <QFrame>

class QLabel;

class StatusPanels : public QFrame {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget* parent = nullptr);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    int PanelWidth(int panel) const;
    QLabel* Panel(int panel) const { return panels_[panel]; }

private:
    QLabel* panels_[3];
};
