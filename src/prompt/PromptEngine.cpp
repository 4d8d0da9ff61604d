#include "prompt/PromptEngine.h"

#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TCommPortDriver.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "core/Version.h"
#include "formats/MarkerChars.h"
#include "formats/ScriptTransfer.h"
#include "prompt/PromptState.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QScopeGuard>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

namespace {

constexpr int MarginWidth = ClientArea::MarginWidth;
constexpr int BlankTailLines = 50;

void processMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Outside the loop's own step the prompt keys are not being listened for: a digit
// would be typed into the script and an Escape lost. Keys wait for the next step.
void processMessagesButInput()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}

PromptEngine::PromptEngine(MainControls &controls, Hooks hooks)
    : m_c(controls), P(*controls.prompt), m_hooks(std::move(hooks))
{
}

// ---- Entering, looping, leaving ----

void PromptEngine::SpeedButton1Click()
{
    const bool outer = !m_active;
    m_active = true;
    // Whatever happens, the operator gets the editor back.
    auto giveBack = qScopeGuard([this, outer] {
        if (outer)
            m_active = false;
        m_c.Form->setUpdatesEnabled(true);
        if (m_stripped)
            restoreWindow();
        m_c.Timer1->start();
        m_c.Timer2->start();
    });
    try {
        // A run that ends while RepeatPrompt is still set is followed at once by a new one.
        while (runOnce() == RunEnd::Left && P.RepeatPrompt) {
        }
    } catch (...) {
        P.Prompting = 0;
        P.LoopRunning = 0;
        P.RepeatPrompt = 0;
        throw;
    }
}

PromptEngine::RunEnd PromptEngine::runOnce()
{
    m_settingUp = true;
    const bool started = setUpRun();
    m_settingUp = false;
    m_runWindowSize = m_c.Form->size();
    if (!started) {
        m_c.Form->setUpdatesEnabled(true);
        return RunEnd::Empty;
    }
    scrollLoop();
    leaveRun();
    return RunEnd::Left;
}

bool PromptEngine::setUpRun()
{
    TRichEdit *paneA = m_c.RichEdit1;
    TRichEdit *paneB = m_c.RichEdit2;

    P.RepeatPrompt = 1;
    P.RateSum = 1;
    P.RateTicks = 1;
    QGuiApplication::clipboard()->clear();
    P.FirstWrapPending = 1;
    if (paneA->document()->isEmpty()) {
        P.RepeatPrompt = 0;
        return false;
    }
    P.ClearErrorMarks();
    P.MeasuredHeight = 0;

    // The run starts from what the operator sees, wherever the caret is.
    paneA->CollapseSelection();
    P.TopLine = paneA->GetFirstVisibleLine();
    P.NextLine = P.TopLine + 1;

    unifyFaceAndSize();
    P.PaneWidth = editorClientWidth();

    // The window is rebuilt out of sight: nothing is painted until the panes are laid out.
    m_c.Form->setUpdatesEnabled(false);
    stripWindow();
    MeasurePageLines();
    alignPageStart();
    if (!m_c.Label4->isVisible())
        m_c.Timer1->stop();
    m_c.Timer2->stop();
    if (m_c.settings->MaximizeWhenPrompting && !m_c.Form->isMaximized())
        m_c.Form->showMaximized();
    processMessagesButInput();

    P.PaneBTop = m_c.Form->height();
    movePane(paneB, P.PaneBTop, paneB->height());
    m_c.RichEdit3->setGeometry(0, m_c.RichEdit3->y(), paneA->width() + 5, 1);
    P.Prompting = 1;
    P.LineCount = paneA->GetLineCount();
    appendBlankTail();
    m_c.Form->setWindowTitle(QStringLiteral("Prompting.."));
    P.LoopRunning = 1;
    // An Escape while the window was rebuilt has cleared RepeatPrompt: one step, then leave.
    if (!P.RepeatPrompt) {
        P.Prompting = 0;
        P.LoopRunning = 0;
    }

    const int height = clientHeight();
    movePane(paneA, 0, height);
    movePane(paneB, P.PaneBTop, height);
    ScriptTransfer::Copy(*paneA->document(), *paneB->document(), paneA->PlainText);
    paneB->document()->setDefaultFont(paneA->document()->defaultFont());
    paneB->setFont(paneA->font());

    layOutPaneA();
    layOutPaneB();
    P.PaneATop = 0;
    P.PaneBTop = paneA->height();
    paneA->SetSelection(paneA->LineIndex(P.TopLine), 0);
    scrollToTop(paneA, P.TopLine);
    P.RecycleLines = P.NextLine - 1 - P.TopLine;
    P.ErrorMarkCount = 0;
    m_hooks.applyControlSource();
    m_c.Form->setUpdatesEnabled(true);
    // The first picture of the run is drawn here, not in the middle of the first steps.
    m_c.Form->repaint();
    processMessagesButInput();
    return true;
}

void PromptEngine::scrollLoop()
{
    do {
        processMessages();
        ++m_steps;
        ++P.TickSteps;
        P.TickScanLines += P.CurrentSpeed;

        if (P.CurrentDelay > 0)
            P.ActiveDelay = P.CurrentDelay;
        if (P.ActiveDelay > 0) {
            // The busy-wait is the speed control: it must really run.
            volatile qint32 count = P.ActiveDelay;
            while (count > 0)
                count = count - 1;
        }

        // Motion fill-in: show the text at the positions a long jump would skip.
        const bool smoothing = m_c.FontSmoothing1->isChecked() && P.Reverse == 0;
        const int speed = P.CurrentSpeed;
        if (smoothing && speed >= 3)
            placePanes(speed == 3 ? 1 : 2);
        placePanes(0);
        if (smoothing && speed >= 2)
            placePanes(speed >= 5 ? -2 : -1);

        if (P.Reverse == 0)
            forwardStep();
        else
            reverseStep();
    } while (P.LoopRunning && P.NextLine < P.LineCount);
}

void PromptEngine::forwardStep()
{
    P.PaneAPrevTop = P.PaneATop;
    P.PaneBPrevTop = P.PaneBTop;
    if (P.TopLine < P.LineCount - P.RecycleLines) {
        P.PaneATop -= P.CurrentSpeed;
        P.PaneBTop -= P.CurrentSpeed;
    } else {
        P.CurrentSpeed = 0; // the end of the script: stand still
    }
    P.PaneAWrapped = P.PaneAPrevTop >= 0 && P.PaneATop < 0;
    P.PaneBWrapped = P.PaneBPrevTop >= 0 && P.PaneBTop < 0;
    if (P.PaneAWrapped) {
        P.TopLine = m_c.RichEdit1->GetFirstVisibleLine();
        P.PaneBTop = m_c.RichEdit1->height();
        if (!P.FirstWrapPending) {
            m_c.RichEdit2->LineScroll(P.RecycleLines);
            P.NextLine += P.RecycleLines;
        }
        P.FirstWrapPending = 0;
    }
    if (P.PaneBWrapped) {
        P.TopLine = m_c.RichEdit2->GetFirstVisibleLine();
        P.PaneATop = m_c.RichEdit2->height();
        m_c.RichEdit1->LineScroll(P.RecycleLines);
        P.NextLine += P.RecycleLines;
    }
}

void PromptEngine::reverseStep()
{
    P.PaneAPrevTop = P.PaneATop;
    P.PaneBPrevTop = P.PaneBTop;
    const bool aMayMove = P.PaneATop < -P.CurrentSpeed || m_c.RichEdit1->GetFirstVisibleLine() != 0;
    const bool bMayMove = P.PaneBTop < -P.CurrentSpeed || m_c.RichEdit2->GetFirstVisibleLine() != 0;
    if (!aMayMove || !bMayMove)
        return; // the start of the script
    P.PaneATop += P.CurrentSpeed;
    P.PaneBTop += P.CurrentSpeed;
    P.PaneAWrapped = P.PaneAPrevTop <= 0 && P.PaneATop > 0;
    P.PaneBWrapped = P.PaneBPrevTop <= 0 && P.PaneBTop > 0;
    if (P.PaneAWrapped) {
        P.TopLine = m_c.RichEdit1->GetFirstVisibleLine();
        P.PaneBTop = -m_c.RichEdit1->height();
        m_c.RichEdit2->LineScroll(-P.RecycleLines);
        P.NextLine -= P.RecycleLines;
    }
    if (P.PaneBWrapped) {
        P.TopLine = m_c.RichEdit2->GetFirstVisibleLine();
        P.PaneATop = -m_c.RichEdit2->height();
        m_c.RichEdit1->LineScroll(-P.RecycleLines);
        P.NextLine -= P.RecycleLines;
    }
}

void PromptEngine::leaveRun()
{
    TRichEdit *paneA = m_c.RichEdit1;
    m_c.CommPortDriver1->ClosePort();
    P.CurrentSpeed = 0;
    processMessagesButInput();

    // The line that was at the top of the window, from whichever pane showed it.
    const int fa = paneA->GetFirstVisibleLine();
    const int fb = m_c.RichEdit2->GetFirstVisibleLine();
    const double points = paneA->SelAttributes().Size;
    const int h = std::max(1, int(points * paneA->logicalDpiY() / 72));
    if (fb > fa || fa == P.TopLine)
        P.TopLine = (-P.PaneATop) / h + fa + 2;
    else
        P.TopLine = (-P.PaneBTop) / h + fb + 2;

    // Only a run the operator leaves gives the editor back; an automatic restart keeps
    // the prompter on screen and only lays the panes out again.
    if (!P.RepeatPrompt) {
        restoreWindow();
    } else {
        m_c.Form->setUpdatesEnabled(false);
        m_c.Client->PanesAligned = true;
        m_c.Client->AlignControls();
    }
    const int start = paneA->LineIndex(std::min(P.TopLine, paneA->GetLineCount() - 1));
    paneA->SetSelection(std::max(start, 0), 0);
    P.CurrentSpeed = 0;
    P.InsertErrorMarks([paneA](qint32 line) { paneA->InsertAtLineStart(line, QString(ErrorMarker)); });
    P.Reverse = 0;
    m_c.Label1->setText(QStringLiteral(">"));
}

// ---- Window shape ----

void PromptEngine::stripWindow()
{
    setPanesTakeMouse(false);
    if (m_stripped)
        return;
    m_stripped = true;
    m_c.ToolBar1->hide();
    m_c.MainMenu->hide();
    m_c.StatusBar->hide();
    setBorder(false);
    m_c.RichEdit1->SetScrollBar(false);
    m_c.RichEdit2->SetScrollBar(false);
    m_c.RichEdit1->setCursorWidth(0);
    m_c.RichEdit1->SetPaintCache(true);
    m_c.RichEdit2->SetPaintCache(true);
    m_c.Client->PanesAligned = false;
}

void PromptEngine::restoreWindow()
{
    QMainWindow *form = m_c.Form;
    m_stripped = false;
    setPanesTakeMouse(true);
    m_c.ToolBar1->show();
    m_c.StatusBar->show();
    setBorder(true);
    m_c.RichEdit1->SetScrollBar(true);
    m_c.RichEdit2->SetScrollBar(true);
    m_c.RichEdit1->setCursorWidth(1);
    m_c.RichEdit1->SetPaintCache(false);
    m_c.RichEdit2->SetPaintCache(false);
    form->unsetCursor();
    m_c.RichEdit1->viewport()->unsetCursor();
    m_c.MainMenu->show();
    m_c.Client->PanesAligned = true;
    m_c.Client->AlignControls();
    form->setWindowTitle(MainWindowTitle());
}

void PromptEngine::setBorder(bool on)
{
    QMainWindow *form = m_c.Form;
    // Changed on the native window in place: changing the widget's flags would hide
    // and map the window again, and the operator's keys could go nowhere meanwhile.
    if (QWindow *window = form->windowHandle(); window && form->isVisible()) {
        window->setFlag(Qt::FramelessWindowHint, !on);
        form->activateWindow();
    } else {
        form->setWindowFlag(Qt::FramelessWindowHint, !on);
    }
}

void PromptEngine::setPanesTakeMouse(bool take)
{
    // On air a stray click or wheel turn must not scroll a pane.
    m_c.RichEdit1->setAttribute(Qt::WA_TransparentForMouseEvents, !take);
    m_c.RichEdit2->setAttribute(Qt::WA_TransparentForMouseEvents, !take);
}

// ---- Layout of a run ----

void PromptEngine::unifyFaceAndSize()
{
    TRichEdit *pane = m_c.RichEdit1;
    const TextAttributes a = pane->SelAttributes();
    if (a.ConsistentAttributes == (TextAttributes::caFace | TextAttributes::caSize))
        return;
    // Re-applying what the whole text already has would only cost a new layout.
    bool uniform = true;
    for (QTextBlock b = pane->document()->begin(); b.isValid() && uniform; b = b.next())
        for (auto it = b.begin(); !it.atEnd() && uniform; ++it) {
            const TextAttributes f = pane->AttributesOf(it.fragment().charFormat());
            uniform = f.Name == a.Name && qFuzzyCompare(f.Size, a.Size);
        }
    if (uniform)
        return;
    pane->SelectAll();
    pane->SetSelSize(a.Size);
    pane->SetSelFontName(a.Name);
    pane->SetSelection(0, 0);
}

void PromptEngine::MeasurePageLines()
{
    m_c.RichEdit3->setGeometry(m_c.RichEdit3->x(), m_c.RichEdit3->y(), m_c.RichEdit3->width(), 1);
    P.MeasuredHeight = 0;
    const int height = clientHeight();
    movePane(m_c.RichEdit1, m_c.RichEdit1->y(), height);
    int counter = 0;
    while (height > P.MeasuredHeight) {
        P.MeasuredHeight += measureLine(m_c.RichEdit1, counter, false);
        ++counter;
    }
    processMessagesButInput();
    P.PageLines = counter;
}

void PromptEngine::alignPageStart()
{
    TRichEdit *paneA = m_c.RichEdit1;
    if (P.TopLine > P.PageLines) {
        P.TopLine -= P.TopLine % std::max(1, P.PageLines);
        P.NextLine = P.TopLine + 1;
        paneA->setFocus();
        paneA->SetSelection(paneA->LineIndex(P.TopLine), 0);
    } else {
        P.TopLine = 0;
        P.NextLine = 1;
        paneA->SetSelection(1, 0);
    }
    scrollToTop(paneA, P.TopLine);
}

void PromptEngine::appendBlankTail()
{
    TRichEdit *paneA = m_c.RichEdit1;
    if (paneA->LineText(P.LineCount - (BlankTailLines - 1)) != QStringLiteral(" ")) {
        QTextCursor cursor(paneA->document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        for (int i = 0; i < BlankTailLines; ++i) {
            cursor.insertBlock();
            cursor.insertText(QStringLiteral(" "));
        }
        cursor.endEditBlock();
        P.LineCount = paneA->GetLineCount();
    }
    P.LineCount = paneA->GetLineCount();
}

void PromptEngine::layOutPaneA()
{
    TRichEdit *paneA = m_c.RichEdit1;
    P.MeasuredHeight = 0;
    paneA->setFocus();
    while (paneA->height() > P.MeasuredHeight) {
        P.MeasuredHeight += measureLine(paneA, P.NextLine, true);
        ++P.NextLine;
    }
    P.NextLine -= 2;
    movePane(paneA, paneA->y(), P.MeasuredHeight + 1);
    P.PaneAHeight = paneA->height();
    m_lastA = P.NextLine;
    P.MeasuredHeight = 0;
    P.PageLines = P.NextLine - P.TopLine + 1;
}

void PromptEngine::layOutPaneB()
{
    if (P.NextLine >= P.LineCount)
        return;
    TRichEdit *paneB = m_c.RichEdit2;
    while (paneB->height() > P.MeasuredHeight) {
        P.MeasuredHeight += measureLine(paneB, P.NextLine, true);
        ++P.NextLine;
    }
    movePane(paneB, paneB->y(), P.MeasuredHeight + 1);
    P.PaneBHeight = paneB->height();
    P.NextLine += 2;
    m_c.RichEdit1->SetSelLength(0);
    paneB->SetSelection(0, 0);
    // Pane B starts with the line after pane A's last.
    scrollToTop(paneB, m_lastA + 1);
    while (paneB->GetFirstVisibleLine() <= m_lastA && paneB->GetFirstVisibleLine() < paneB->GetLineCount() - 1)
        paneB->LineScroll(1);
}

int PromptEngine::measureLine(TRichEdit *pane, int line, bool withStyle)
{
    TRichEdit *measure = m_c.RichEdit3;
    const int start = pane->LineIndex(line);
    const TextAttributes a = start >= 0 ? pane->AttributesAt(start)
                                        : pane->AttributesOf(QTextCharFormat());
    const QString text = start >= 0 ? pane->LineText(line) : QString();
    measure->clear();
    QFont font(a.Name);
    font.setPointSizeF(a.Size > 0 ? a.Size : 12);
    if (withStyle) {
        font.setBold(a.Bold);
        font.setItalic(a.Italic);
        font.setUnderline(a.Underline);
    }
    measure->document()->setDefaultFont(font);
    measure->setCurrentCharFormat(QTextCharFormat());
    measure->setPlainText(text); // answered at once through RichEdit3ResizeRequest
    return P.MeasuredLineRect.Bottom - P.MeasuredLineRect.Top;
}

void PromptEngine::RichEdit3ResizeRequest(const QRect &rect)
{
    P.MeasuredLineRect = {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
}

void PromptEngine::scrollToTop(TRichEdit *pane, int line)
{
    pane->LineScroll(line - pane->GetFirstVisibleLine());
}

// ---- Moving the panes ----

void PromptEngine::movePane(TRichEdit *pane, int top, int height)
{
    pane->setGeometry(MarginWidth, top, P.PaneWidth > 0 ? P.PaneWidth : pane->width(), height);
}

void PromptEngine::placePanes(int offset)
{
    // Moving opaque panes shifts the pixels already drawn. They reach the screen with
    // the window's next update, which the loop's message processing delivers as often
    // as the display takes them; forcing one per step would flood the display server
    // and hold up the operator's keys behind it.
    movePane(m_c.RichEdit1, P.PaneATop + offset, P.PaneAHeight);
    movePane(m_c.RichEdit2, P.PaneBTop + offset, P.PaneBHeight);
}

int PromptEngine::clientHeight() const
{
    return m_c.Client->height();
}

int PromptEngine::editorClientWidth() const
{
    // The width the editor gives its text with its scroll bar showing, so that every
    // run wraps lines exactly as the editor does.
    const TRichEdit *pane = m_c.RichEdit1;
    const int bar = pane->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, pane);
    return std::max(1, m_c.Client->width() - MarginWidth - bar);
}

// ---- Resize ----

void PromptEngine::FormResize()
{
    m_hooks.showSelectionFormat();
    QMainWindow *form = m_c.Form;
    // The window's own rebuild resizes it; only a new size while the text scrolls
    // calls for new panes.
    if (!P.Prompting || m_settingUp || form->size() == m_runWindowSize) {
        m_c.Client->AlignControls();
        return;
    }
    // A new window size ends the run; it starts again at the top with panes laid out
    // for the new size. The prompter stays on screen meanwhile.
    P.NextLine = 0;
    P.TopLine = 0;
    P.Prompting = 0;
    P.LoopRunning = 0;
    m_c.Client->PanesAligned = true;
    m_c.Client->AlignControls();
    form->unsetCursor();
    m_c.Timer1->start();
    m_c.Timer2->start();
    P.CurrentSpeed = 0;
    m_c.RichEdit1->SetSelection(0, 0);
    scrollToTop(m_c.RichEdit1, 0);
}
