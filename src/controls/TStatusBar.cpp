#include "controls/TStatusBar.h"

#include <QLabel>
#include <QProgressBar>

TStatusBar::TStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("StatusProgress"));
    m_progress->setRange(0, 100);
    m_progress->setFixedWidth(150);
    m_progress->setTextVisible(false);
    addPermanentWidget(m_progress);
    m_progress->hide();
}

void TStatusBar::ShowProgress(int percent)
{
    m_progress->setValue(percent);
    m_progress->show();
    repaint();
}

void TStatusBar::HideProgress()
{
    m_progress->hide();
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

void TStatusBar::FitPanel(int index, const QString &text)
{
    QLabel *panel = m_panels.at(index);
    const QString kept = panel->text();
    panel->setText(text);
    panel->ensurePolished();
    const int needed = panel->sizeHint().width();
    panel->setText(kept);
    if (needed > panel->width())
        panel->setFixedWidth(needed);
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    m_panels.at(index)->setText(text);
}

int TStatusBar::PanelWidth(int index) const
{
    return m_panels.at(index)->width();
}
