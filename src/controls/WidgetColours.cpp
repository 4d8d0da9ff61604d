#include "controls/WidgetColours.h"

#include "controls/TRichEdit.h"

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
