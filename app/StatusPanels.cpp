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
}

void StatusPanels::SetPanelText(int panel, const QString& text)
{
    if (panel >= 0 && panel < 3)
        panels_[panel]->setText(text);
}

QString StatusPanels::PanelText(int panel) const { return panel >= 0 && panel < 3 ? panels_[panel]->text() : QString(); }

int StatusPanels::PanelWidth(int panel) const
{
    return panel >= 0 && panel < 3 ? panels_[panel]->width() : 0;
}
