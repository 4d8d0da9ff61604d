#include "controls/WidgetColours.h"

#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TRichEdit.h"

#include <QLabel>
#include <QMainWindow>
#include <QWidget>

void SetPaletteColour(QWidget *widget, QPalette::ColorRole role, qint32 bgr)
{
    QPalette pal = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, role, TRichEdit::ToQColor(bgr));
    widget->setPalette(pal);
}

void SetBackground(QWidget *widget, qint32 bgr)
{
    SetPaletteColour(widget, QPalette::Window, bgr);
    SetPaletteColour(widget, QPalette::Base, bgr);
    widget->setAutoFillBackground(true);
}

void SetScriptBackground(const MainControls &c, qint32 bgr)
{
    c.RichEdit1->SetBackgroundColor(bgr);
    c.RichEdit2->SetBackgroundColor(bgr);
    if (c.Form)
        SetBackground(c.Form, bgr);
    if (c.Client)
        SetBackground(c.Client, bgr);
    SetBackground(c.Panel1, bgr);
    SetPaletteColour(c.Label1, QPalette::WindowText, bgr == 0 ? 0xFFFFFF : 0);
    // The read-outs must stay readable on whatever the margin has become.
    const qint32 readout = TRichEdit::ToQColor(bgr).lightnessF() < 0.5 ? 0xFFFFFF : 0;
    for (QLabel *label : {c.Label2, c.Label3, c.Label4, c.Label5, c.ControlSign})
        if (label)
            SetPaletteColour(label, QPalette::WindowText, readout);
}
