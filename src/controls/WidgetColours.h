#pragma once

#include <QPalette>
#include <QtGlobal>

class QWidget;

// Colours of the window's parts, given as 0x00BBGGRR like the script's own.
void SetPaletteColour(QWidget *widget, QPalette::ColorRole role, qint32 bgr);
// The widget's background, painted by itself.
void SetBackground(QWidget *widget, qint32 bgr);

struct MainControls;
// The script's background, which pane B, the main window and the margin share; the
// cue arrow is white on a black margin and black on any other.
void SetScriptBackground(const MainControls &controls, qint32 bgr);
