#include "prompt/PromptEngine.h"

#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TCommPortDriver.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "core/Version.h"
#include "formats/MarkerChars.h"
#include "prompt/KeyRules.h"
#include "prompt/PromptState.h"
#include "prompt/ScrollRules.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QThread>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <memory>
#include <vector>

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

// Keeps the keys that reach the panes while a run is being set up or left, and hands
// them over, in order, when the loop listens again. Keys from the window system wait by
// themselves; this also holds those already on their way.
class PromptEngine::KeyHold : public QObject
{
public:
    explicit KeyHold(std::initializer_list<QObject *> targets)
    {
        for (QObject *target : targets)
            target->installEventFilter(this);
    }

    ~KeyHold() override { Release(); }

    void Hold() { m_holding = true; }

    void Release()
    {
        m_holding = false;
        for (auto &[target, event] : m_keys) {
            if (target)
                QCoreApplication::postEvent(target, event.release());
        }
        m_keys.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_holding || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
            return false;
        m_keys.emplace_back(watched, std::unique_ptr<QEvent>(static_cast<QKeyEvent *>(event)->clone()));
        return true;
    }

private:
    bool m_holding = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_keys;
};

PromptEngine::PromptEngine(MainControls &controls, Hooks hooks)
    : m_c(controls), P(*controls.prompt), m_hooks(std::move(hooks))
{
    // Between runs the frame follows the editor's view: that is where the next run starts.
    QObject::connect(m_c.RichEdit1->verticalScrollBar(), &QScrollBar::valueChanged, m_c.Form, [this] {
        if (!m_active && !m_frameListeners.empty())
            PublishFrame();
    });
}

PromptEngine::~PromptEngine() = default;

// ---- Entering, looping, leaving ----

void PromptEngine::SpeedButton1Click()
{
    // Runs are replaced, never nested: a second start while prompting has nothing to do.
    if (m_active)
        return;
    m_active = true;
    P.StartLine = -1;
    m_keyHold = std::make_unique<KeyHold>(std::initializer_list<QObject *>{m_c.RichEdit1, m_c.RichEdit2});
    // Whatever happens, the operator gets the editor back.
    auto giveBack = qScopeGuard([this] {
        m_keyHold.reset();
        m_active = false;
        P.RestartPending = 0;
        m_c.Form->setUpdatesEnabled(true);
        if (m_stripped)
            restoreWindow();
        m_c.Timer1->start();
        m_c.Timer2->start();
        if (m_hooks.promptingEnded)
            m_hooks.promptingEnded();
        PublishFrame();
    });
    try {
        // A run that ends while RepeatPrompt is still set is followed at once by a new one.
        for (RunEnd end = runOnce(); end == RunEnd::Replaced || (end == RunEnd::Left && P.RepeatPrompt);
             end = runOnce()) {
        }
    } catch (...) {
        P.RequestLeave();
        throw;
    }
}

void PromptEngine::ReplaceRun(int startLine)
{
    P.RequestReplace(startLine);
}

int PromptEngine::LineAtTop() const
{
    if (!P.Prompting)
        return m_c.RichEdit1->GetFirstVisibleLine();
    for (const TRichEdit *pane : {m_c.RichEdit1, m_c.RichEdit2}) {
        if (pane->y() <= 0 && pane->y() + pane->height() > 0)
            return pane->LineAt(pane->verticalScrollBar()->value() - pane->y());
    }
    return P.TopLine;
}

PromptEngine::RunEnd PromptEngine::runOnce()
{
    P.RestartPending = 0;
    ++m_runs;
    m_keyHold->Hold();
    m_settingUp = true;
    const bool started = setUpRun();
    m_settingUp = false;
    m_runWindowSize = m_c.Form->size();
    if (!started) {
        m_c.Form->setUpdatesEnabled(true);
        return RunEnd::Empty;
    }
    m_keyHold->Release();
    scrollLoop();
    m_keyHold->Hold();
    // A replaced run ends where it stands: the new one starts from the caret that the
    // replacing command placed, with its direction.
    if (P.RestartPending)
        return RunEnd::Replaced;
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
    if (P.StartLine >= 0)
        startAtLine(std::min(P.StartLine, std::max(0, paneA->GetLineCount() - 1)));
    else
        alignPageStart();
    P.StartLine = -1;
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
    // An Escape while the window was rebuilt has cleared RepeatPrompt: leave at once.
    if (!P.RepeatPrompt) {
        P.Prompting = 0;
        P.LoopRunning = 0;
    }

    // Pane B shows the same document as pane A (they share it), so it needs no copy.
    const int height = clientHeight();
    movePane(paneA, 0, height);
    movePane(paneB, P.PaneBTop, height);

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
    PublishFrame();
    processMessagesButInput();
    return true;
}

namespace {

// A text control as the scroll rules see it.
class PaneOf : public PromptPane
{
public:
    explicit PaneOf(TRichEdit *edit) : m_edit(edit) {}
    int FirstVisibleLine() const override { return m_edit->GetFirstVisibleLine(); }
    void LineScroll(int lines) override { m_edit->LineScroll(lines); }
    int Height() const override { return m_edit->height(); }
    int TextY() const override { return m_edit->verticalScrollBar()->value(); }

private:
    TRichEdit *m_edit;
};

}

void PromptEngine::scrollLoop()
{
    PaneOf paneA(m_c.RichEdit1);
    PaneOf paneB(m_c.RichEdit2);
    m_clock.start();
    m_pacer.reset();
    if (steadySpeed()) {
        const QScreen *screen = PacingScreen ? PacingScreen() : nullptr;
        if (!screen)
            screen = m_c.Form->screen();
        m_pacer.emplace(screen ? screen->refreshRate() : 0.0, m_clock.nsecsElapsed());
    }
    for (;;) {
        waitForStep();
        // The operator stopped, or a replacing command ended the run: nothing moves again.
        if (!P.LoopRunning)
            break;
        if (OnStep)
            OnStep(false);
        showPanes();
        ScrollRules::Step(P, paneA, paneB);
        showRecycledPane();
        if (OnStep)
            OnStep(true);
        PublishFrame();
        // The line cursor runs ahead of the text; reaching the end early changes nothing
        // on screen. The run goes on until the operator ends it.
        if (P.NextLine >= P.LineCount)
            ScrollRules::RebaseLineCursor(P);
        scheduleNextStep();
    }
}

bool PromptEngine::steadySpeed() const
{
    return m_c.SteadySpeed1 && m_c.SteadySpeed1->isChecked();
}

void PromptEngine::waitForStep()
{
    if (m_pacer)
        waitForFrame();
    else
        processMessages();
    ++m_steps;
    ++P.TickSteps;
    P.TickScanLines += P.CurrentSpeed;
    if (P.CurrentDelay > 0)
        P.ActiveDelay = P.CurrentDelay;
    if (!m_pacer)
        busyWait();
}

void PromptEngine::busyWait()
{
    if (P.ActiveDelay <= 0)
        return;
    // The busy-wait is the speed control of this method: it must really run.
    volatile qint32 count = P.ActiveDelay;
    while (count > 0)
        count = count - 1;
}

void PromptEngine::waitForFrame()
{
    // Sleep in the event loop until the step is due: keys, controller data and timers
    // are handled meanwhile, and no processor time is spent waiting.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    for (;;) {
        processMessages();
        const qint64 remaining = m_pacer->Due() - m_clock.nsecsElapsed();
        if (remaining <= 0 || !P.LoopRunning) {
            m_lateNs = -remaining;
            return;
        }
        if (remaining > 1500000) {
            wake.start(int((remaining - 500000) / 1000000));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } else {
            QThread::usleep(std::max<qint64>(50, remaining / 1000 - 50));
        }
    }
}

void PromptEngine::scheduleNextStep()
{
    if (m_pacer)
        m_pacer->NextStep(P.ActiveDelay, m_clock.nsecsElapsed());
}

void PromptEngine::showPanes()
{
    const bool smoothing = m_c.FontSmoothing1->isChecked() && !m_pacer;
    const QList<int> offsets = ScrollRules::FillInOffsets(P.CurrentSpeed, smoothing, P.Reverse != 0);
    for (int offset : offsets) {
        movePane(m_c.RichEdit1, P.PaneATop + offset, P.PaneAHeight);
        movePane(m_c.RichEdit2, P.PaneBTop + offset, P.PaneBHeight);
        // The in-between positions are what smoothing is for: each must reach the screen.
        // A single position reaches it with the window's next update, which the loop's
        // message processing delivers as often as the display takes them.
        if (offsets.size() > 1)
            QCoreApplication::sendPostedEvents(m_c.Form, QEvent::UpdateRequest);
    }
}

void PromptEngine::showRecycledPane()
{
    // The recycled pane's text has changed under it: it goes where it continues the other
    // pane as that one is shown now, or for a frame its new text would show at the top.
    if (P.PaneAWrapped)
        movePane(m_c.RichEdit2, m_c.RichEdit1->y() + (P.PaneBTop - P.PaneATop), P.PaneBHeight);
    if (P.PaneBWrapped)
        movePane(m_c.RichEdit1, m_c.RichEdit2->y() + (P.PaneATop - P.PaneBTop), P.PaneAHeight);
}

void PromptEngine::leaveRun()
{
    TRichEdit *paneA = m_c.RichEdit1;
    m_c.CommPortDriver1->ClosePort();
    P.CurrentSpeed = 0;
    processMessagesButInput();

    // The line that was at the top of the window, from whichever pane showed it.
    const double points = paneA->SelAttributes().Size;
    const int h = std::max(1, int(points * paneA->logicalDpiY() / 72));
    P.TopLine = ScrollRules::LeavingTopLine(P, paneA->GetFirstVisibleLine(), m_c.RichEdit2->GetFirstVisibleLine(), h);

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
    m_c.Label1->setText(KeyRules::ArrowFor(0));
}

// ---- The frame ----

void PromptEngine::AddFrameListener(std::function<void(const PromptFrame &)> listener)
{
    m_frameListeners.push_back(std::move(listener));
}

void PromptEngine::PublishFrame()
{
    PromptFrame &f = m_frame;
    const TRichEdit *paneA = m_c.RichEdit1;
    const TRichEdit *paneB = m_c.RichEdit2;
    f.step = m_steps;
    f.prompting = m_active && P.Prompting;
    f.width = m_c.Client->width();
    f.height = clientHeight();
    f.marginWidth = MarginWidth;
    f.wrapWidth = f.prompting && P.PaneWidth > 0 ? P.PaneWidth : paneA->viewport()->width();
    auto paneOf = [](const TRichEdit *pane) {
        return PromptFrame::Pane{pane->y(), pane->height(), qreal(pane->verticalScrollBar()->value())};
    };
    if (f.prompting) {
        f.a = paneOf(paneA);
        f.b = paneOf(paneB);
    } else {
        // The editor alone, pane B hidden behind it, at the line the next run starts with.
        f.a = PromptFrame::Pane{0, f.height, qreal(paneA->LineTop(paneA->GetFirstVisibleLine()))};
        f.b = PromptFrame::Pane{};
    }
    f.arrowTop = m_c.Label1->y();
    f.arrowHeight = m_c.Label1->height();
    f.arrowPixelSize = m_c.Label1->font().pixelSize();
    f.reverse = P.Reverse != 0;
    f.background = paneA->palette().color(QPalette::Base);
    f.text = paneA->palette().color(QPalette::Text);
    f.margin = m_c.Panel1->palette().color(QPalette::Window);
    f.arrowColour = m_c.Label1->palette().color(QPalette::WindowText);
    f.readouts.clear();
    for (const QLabel *label : {m_c.Label5, m_c.Label3, m_c.Label2, m_c.Label4, m_c.ControlSign}) {
        if (label && !label->isHidden())
            f.readouts.append({label->y(), label->height(), label->font().pixelSize(), label->text()});
    }
    f.readoutColour = m_c.Label2->palette().color(QPalette::WindowText);
    for (const auto &listener : m_frameListeners)
        listener(f);
}

// ---- Window shape ----

void PromptEngine::stripWindow()
{
    setPanesTakeMouse(false);
    // The prompter places the panes itself, on every run, the first or a restart.
    m_c.Client->PanesAligned = false;
    // The text keeps the width it has in the editor whatever the panes' scroll bars and
    // sizes do meanwhile: laying a long script out again takes seconds.
    m_c.RichEdit1->SetWrapWidth(P.PaneWidth);
    m_c.RichEdit2->SetWrapWidth(P.PaneWidth);
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
    m_c.RichEdit1->SetWrapWidth(0);
    m_c.RichEdit2->SetWrapWidth(0);
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
    if (ScrollRules::AlignStartLine(P)) {
        paneA->SetSelection(1, 0);
    } else {
        paneA->setFocus();
        paneA->SetSelection(paneA->LineIndex(P.TopLine), 0);
    }
    scrollToTop(paneA, P.TopLine);
}

void PromptEngine::startAtLine(int line)
{
    // A jump or a new window size: the run shows this line at the top, no page boundary.
    TRichEdit *paneA = m_c.RichEdit1;
    P.TopLine = line;
    P.NextLine = line + 1;
    paneA->setFocus();
    paneA->SetSelection(paneA->LineIndex(line), 0);
    scrollToTop(paneA, line);
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
    measure->setPlainText(text);
    // Read from the measuring control's own layout: no hook has to be wired for it, and a
    // line is never measured as nothing, so the page's count always ends.
    const QSize size = measure->ContentSize();
    P.MeasuredLineRect = {0, 0, size.width(), size.height()};
    return std::max(1, size.height());
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
    // A new window size ends the run; it goes on from the line at the top with panes laid
    // out for the new size. The prompter stays on screen meanwhile.
    const int line = LineAtTop();
    P.RequestRelayout(line);
    m_c.Client->PanesAligned = true;
    m_c.Client->AlignControls();
    form->unsetCursor();
    m_c.Timer1->start();
    m_c.Timer2->start();
    P.CurrentSpeed = 0;
    m_c.RichEdit1->SetSelection(std::max(0, m_c.RichEdit1->LineIndex(line)), 0);
    scrollToTop(m_c.RichEdit1, line);
}
