#include "editor/Colours.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/WidgetColours.h"
#include "editor/ScriptUndo.h"
#include "editor/TextCase.h"
#include "editor/Tcolorform.h"

#include <QLabel>
#include <QTextCursor>
#include <QTextDocument>

namespace {

constexpr qint32 Black = 0x000000;
constexpr qint32 White = 0xFFFFFF;

}

void Colours::SpeedButton5Click()
{
    showDialog();
}

void Colours::BackgroundColor1Click()
{
    showDialog();
}

void Colours::showDialog()
{
    if (!ColorForm)
        return;
    ColorForm->Target = this;
    ColorForm->exec();
}

void Colours::SpeedButton8Click()
{
    Inverse();
}

void Colours::Inverse1Click()
{
    Inverse();
}

qint32 Colours::BaseTextColour() const
{
    return TRichEdit::FromQColor(m_c.RichEdit1->palette().color(QPalette::Text));
}

qint32 Colours::BackgroundColour() const
{
    return m_c.RichEdit1->BackgroundColor();
}

qint32 Colours::selectionColour() const
{
    // Text without a colour of its own shows in the editor's text colour.
    const qint32 colour = m_c.RichEdit1->SelAttributes().Color;
    return colour >= 0 ? colour : BaseTextColour();
}

void Colours::ChooseColour(qint32 colour, bool forText)
{
    const ScreenColours before = ScreenColours::Of(m_c);
    QTextCursor step(m_c.RichEdit1->document());
    step.beginEditBlock();
    if (forText)
        m_c.RichEdit1->SetSelColor(colour);
    SetScriptBackground(m_c, forText ? BackgroundColour() : colour);
    RecordScreenColours(m_c, before, ScreenColours::Of(m_c));
    step.endEditBlock();
}

void Colours::Inverse()
{
    TRichEdit *edit = m_c.RichEdit1;
    // One undo step gives back the text colours and the screen's together.
    const ScreenColours before = ScreenColours::Of(m_c);
    QTextCursor step(edit->document());
    step.beginEditBlock();
    const qint32 text = selectionColour();
    const qint32 background = BackgroundColour();
    edit->SelectAll();
    edit->SetSelColor(background);
    edit->CollapseSelection();
    SetScriptBackground(m_c, text);
    // The cue arrow takes the old background, unless the margin has that colour too.
    const qint32 atCaret = edit->SelAttributes().Color;
    qint32 arrow = atCaret >= 0 ? atCaret : background;
    if (arrow == text)
        arrow = White;
    if (arrow == text)
        arrow = Black;
    SetPaletteColour(m_c.Label1, QPalette::WindowText, arrow);
    RecordScreenColours(m_c, before, ScreenColours::Of(m_c));
    step.endEditBlock();
}

void Colours::SpeedButton7Click()
{
    TRichEdit *edit = m_c.RichEdit1;
    if (edit->SelLength() == 0)
        return;
    edit->SetSelText(TextCase::toggled(edit->SelText()));
}
