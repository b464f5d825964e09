#include "app/StatusPanels.h"

#include <QHBoxLayout>
#include <QLabel>

StatusPanels::StatusPanels(QWidget* parent) : QFrame(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const int widths[3] = {80, 200, 50};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setIndent(2);
        if (i < 2)
            panels_[i]->setFixedWidth(widths[i]);
        else
            panels_[i]->setMinimumWidth(widths[i]);
        layout->addWidget(panels_[i], i == 2 ? 1 : 0); // the last panel runs to the right edge
    }
    show_.setSingleShot(true);
    show_.setInterval(30);
    connect(&show_, &QTimer::timeout, this, &StatusPanels::Show);
}

void StatusPanels::SetPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= 3)
        return;
    texts_[panel] = text;
    if (!show_.isActive()) {
        Show(); // the first change shows at once; those that follow it closely, together
        show_.start();
    }
}

void StatusPanels::Show()
{
    for (int i = 0; i < 3; ++i)
        if (panels_[i]->text() != texts_[i])
            panels_[i]->setText(texts_[i]);
}

QString StatusPanels::PanelText(int panel) const { return panel >= 0 && panel < 3 ? texts_[panel] : QString(); }

int StatusPanels::PanelWidth(int panel) const
{
    return panel >= 0 && panel < 3 ? panels_[panel]->width() : 0;
}
