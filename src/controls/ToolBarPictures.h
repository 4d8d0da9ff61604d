#pragma once

#include <QIcon>
#include <QString>

// The tool bar's pictures, drawn at start-up so the program needs no image files.
enum class Picture { Page, Folder, Disk, Printer, Pages, Clipboard };

// A picture drawn from one or two characters of text, in the given style.
QIcon glyphIcon(const QString &glyph, bool bold = false, bool italic = false, bool underline = false);
QIcon pictureIcon(Picture picture);
