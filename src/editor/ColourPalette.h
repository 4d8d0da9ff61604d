#pragma once

#include <QtGlobal>

#include <array>

// The sixteen colours of the colour dialog's grid, cell by cell, row by row (0x00BBGGRR).
inline constexpr std::array<qint32, 16> PaletteColours = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

// The cell showing a colour, or -1 when no cell does.
constexpr int PaletteCell(qint32 colour)
{
    for (int cell = 0; cell < int(PaletteColours.size()); ++cell) {
        if (PaletteColours[cell] == colour)
            return cell;
    }
    return -1;
}
