#pragma once

#include <QIcon>
#include <QString>

// The tool bar's pictures, drawn at start-up so the program needs no image files.
enum class Picture { Page, Folder, Disk, Printer, Pages, Clipboard };

// A picture drawn from one or two characters of text, in the given style.
QIcon glyphIcon(const QString &glyph, bool bold = false, bool italic = false, bool underline = false);
QIcon pictureIcon(Picture picture);

class QWidget;

// Gives the named tool buttons and menu items of the window the desktop theme's icons
// (freedesktop names) where the theme has them; the others keep their pictures.
void UseThemeIcons(QWidget *window);
