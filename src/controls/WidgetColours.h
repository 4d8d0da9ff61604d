#pragma once

#include <QPalette>
#include <QtGlobal>

class QWidget;

// Colours of the window's parts, given as 0x00BBGGRR like the script's own.
void SetPaletteColour(QWidget *widget, QPalette::ColorRole role, qint32 bgr);
// The widget's background, painted by itself.
void SetBackground(QWidget *widget, qint32 bgr);
