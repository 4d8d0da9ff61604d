#pragma once

#include <QWidget>

class TRichEdit;

// The main window's client area: the margin on the left, the two panes beside it and
// the measuring control at the foot. While prompting the panes are placed by the
// prompter; otherwise both fill the area, pane A in front.
class ClientArea : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MarginWidth = 41;

    explicit ClientArea(QWidget *parent = nullptr);

    // The controls it lays out; set once by the window that builds them.
    void SetControls(QWidget *margin, TRichEdit *paneA, TRichEdit *paneB, TRichEdit *measure);

    // Puts the margin, the panes (when aligned) and the measuring control in place.
    void AlignControls();
    bool PanesAligned = true;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_margin = nullptr;
    TRichEdit *m_paneA = nullptr;
    TRichEdit *m_paneB = nullptr;
    TRichEdit *m_measure = nullptr;
};
