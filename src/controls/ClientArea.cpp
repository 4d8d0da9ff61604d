#include "controls/ClientArea.h"

#include "controls/TRichEdit.h"

ClientArea::ClientArea(QWidget *parent)
    : QWidget(parent)
{
}

void ClientArea::SetControls(QWidget *margin, TRichEdit *paneA, TRichEdit *paneB, TRichEdit *measure)
{
    m_margin = margin;
    m_paneA = paneA;
    m_paneB = paneB;
    m_measure = measure;
}

void ClientArea::AlignControls()
{
    if (!m_margin)
        return;
    const int w = width();
    const int h = height();
    const int measureHeight = m_measure->height();
    m_margin->setGeometry(0, 0, MarginWidth, h);
    m_measure->setGeometry(MarginWidth, h - measureHeight, std::max(0, w - MarginWidth), measureHeight);
    if (PanesAligned) {
        const QRect area(MarginWidth, 0, std::max(0, w - MarginWidth), std::max(0, h - measureHeight));
        m_paneA->setGeometry(area);
        m_paneB->setGeometry(area);
        m_paneA->raise();
    }
}

void ClientArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The area changes size when the bars are hidden or shown.
    AlignControls();
}
