#include "editor/ScriptUndo.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/WidgetColours.h"

#include <QAbstractUndoItem>
#include <QLabel>
#include <QTextDocument>

namespace {

class ScreenColoursUndo : public QAbstractUndoItem
{
public:
    ScreenColoursUndo(const MainControls &controls, const ScreenColours &before, const ScreenColours &after)
        : m_c(controls), m_before(before), m_after(after)
    { }
    void undo() override { m_before.ApplyTo(m_c); }
    void redo() override { m_after.ApplyTo(m_c); }

private:
    // The window's controls outlive the editor's undo stack.
    const MainControls &m_c;
    ScreenColours m_before;
    ScreenColours m_after;
};

}

ScreenColours ScreenColours::Of(const MainControls &c)
{
    return {c.RichEdit1->BackgroundColor(), TRichEdit::FromQColor(c.Label1->palette().color(QPalette::WindowText))};
}

void ScreenColours::ApplyTo(const MainControls &c) const
{
    SetScriptBackground(c, background);
    SetPaletteColour(c.Label1, QPalette::WindowText, arrow);
}

void RecordScreenColours(const MainControls &controls, const ScreenColours &before, const ScreenColours &after)
{
    if (before == after)
        return;
    QTextDocument *document = controls.RichEdit1->document();
    if (document->isUndoRedoEnabled())
        document->appendUndoItem(new ScreenColoursUndo(controls, before, after));
}
