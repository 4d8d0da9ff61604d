#include "controls/TStatusBar.h"

#include <QLabel>

TStatusBar::TStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void TStatusBar::AddPanel(const QString &text, int width)
{
    auto *panel = new QLabel(text, this);
    // Named apart from the window's own Panel1 (the margin): control names are unique.
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(m_panels.size()));
    panel->setFixedWidth(width);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    addWidget(panel);
    m_panels.push_back(panel);
}

QString TStatusBar::PanelText(int index) const
{
    return m_panels.at(index)->text();
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    m_panels.at(index)->setText(text);
}

int TStatusBar::PanelWidth(int index) const
{
    return m_panels.at(index)->width();
}
