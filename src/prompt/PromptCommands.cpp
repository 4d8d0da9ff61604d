#include "prompt/PromptCommands.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "formats/MarkerChars.h"
#include "prompt/KeyRules.h"
#include "prompt/PromptEngine.h"
#include "prompt/PromptState.h"
#include "prompt/SerialBytes.h"
#include "settings/Settings.h"

#include <QLabel>
#include <QMainWindow>
#include <QTimer>

PromptCommands::PromptCommands(MainControls &controls, PromptEngine &engine, Hooks hooks)
    : m_c(controls), P(*controls.prompt), m_engine(engine), m_hooks(std::move(hooks))
{ }

PromptControl::Outcome PromptCommands::Start()
{
    if (m_engine.Active() || m_startQueued)
        return Outcome::Ignored;
    // From the event loop: whatever handler asked (a key, a socket, a timer) returns first
    // and keeps listening while the prompter runs.
    m_startQueued = true;
    QTimer::singleShot(0, m_c.Form, [this] {
        m_startQueued = false;
        if (m_hooks.runPrompter)
            m_hooks.runPrompter();
    });
    return Outcome::Done;
}

PromptControl::Outcome PromptCommands::Leave()
{
    if (P.Prompting)
        return KeyboardCharacter(QChar(27));
    if (!m_engine.Active())
        return Outcome::Ignored;
    // Between the runs of a prompting session: no run to stop, the session ends.
    P.RequestEndSession();
    return Outcome::Done;
}

PromptControl::Outcome PromptCommands::KeyboardRow(int row)
{
    if (row < 0 || row > 9)
        return Outcome::Ignored;
    return KeyboardCharacter(QChar(u'0' + row));
}

PromptControl::Outcome PromptCommands::KeyboardCharacter(QChar key)
{
    if (!P.Prompting)
        return Outcome::Ignored;
    const KeyRules::Display display
        = KeyRules::CharacterKey(P, m_c.settings->KeyboardSpeedTable, key, m_engine.LineAtTop());
    if (!display.delayLabel.isEmpty())
        m_c.Label2->setText(display.delayLabel);
    if (!display.speedLabel.isEmpty())
        m_c.Label3->setText(display.speedLabel);
    if (!display.arrow.isEmpty())
        ShowArrow();
    return Outcome::Done;
}

PromptControl::Outcome PromptCommands::ControllerValue(int value)
{
    if (!P.Prompting || value < 0 || value > 64)
        return Outcome::Ignored;
    ApplyControllerRow(P, m_c.settings->SerialSpeedTable, value);
    ShowSpeed();
    return Outcome::Done;
}

void PromptCommands::ShowSpeed()
{
    m_c.Label2->setText(QString::number(P.CurrentDelay));
    m_c.Label3->setText(QString::number(P.CurrentSpeed));
}

PromptControl::Outcome PromptCommands::ToggleDirection()
{
    if (!P.Prompting)
        return Outcome::Ignored;
    KeyRules::ToggleDirection(P);
    ShowArrow();
    return Outcome::Done;
}

void PromptCommands::ShowArrow()
{
    m_c.Label1->setText(KeyRules::ArrowFor(P.Reverse));
}

void PromptCommands::insertErrorMarks()
{
    TRichEdit *editor = m_c.RichEdit1;
    P.InsertErrorMarks([editor](qint32 line) { editor->InsertAtLineStart(line, QString(ErrorMarker)); });
}

PromptControl::Outcome PromptCommands::Jump(bool forward)
{
    if (!P.Prompting)
        return Outcome::Ignored;
    TRichEdit *editor = m_c.RichEdit1;
    const int top = m_engine.LineAtTop();
    P.CurrentSpeed = 0;
    insertErrorMarks();
    const auto target = SerialJump::Target(*m_c.markers, editor->Text(), top, forward,
                                           [editor](int line) { return editor->LineIndex(line); });
    // The new run shows the marker's line at the top; with no marker that way the text
    // stays where it is.
    if (target)
        editor->SetSelection(target->start, target->length);
    m_engine.ReplaceRun(target ? editor->LineFromChar(target->start) : top);
    return Outcome::Done;
}

PromptControl::Outcome PromptCommands::FlagLine()
{
    return KeyboardCharacter(QLatin1Char(' '));
}

PromptControl::Outcome PromptCommands::RestartFromTop()
{
    if (!P.Prompting)
        return Outcome::Ignored;
    P.TopLine = 0;
    P.NextLine = 1;
    P.Reverse = 0;
    // The lines flagged so far are marked before the text starts again from the top.
    insertErrorMarks();
    m_c.RichEdit1->SetSelection(0, 0);
    ShowArrow();
    m_engine.ReplaceRun();
    return Outcome::Done;
}

PromptControl::Outcome PromptCommands::LayOutAgain()
{
    if (!P.Prompting)
        return Outcome::Ignored;
    P.RequestRelayout();
    return Outcome::Done;
}

PromptStatus PromptCommands::Status() const
{
    PromptStatus s;
    s.prompting = P.Prompting != 0;
    s.speed = P.CurrentSpeed;
    s.delay = P.CurrentDelay;
    s.reverse = P.Reverse != 0;
    s.topLine = m_engine.LineAtTop();
    const TRichEdit *editor = m_c.RichEdit1;
    // Between runs the top line is the editor's, so the count is too: the prompter's is
    // only measured when a run is set up.
    s.lineCount = P.Prompting ? P.LineCount : editor->GetLineCount();
    const int start = editor->LineIndex(P.Prompting ? P.TopLine : editor->GetFirstVisibleLine());
    s.secondsLeft = std::max(0, editor->document()->characterCount() - 1 - std::max(0, start)) / 15;
    s.scriptName = m_hooks.scriptName ? m_hooks.scriptName() : QStringLiteral("Untitled");
    s.controller = m_hooks.controller ? m_hooks.controller().trimmed() : QString();
    return s;
}
