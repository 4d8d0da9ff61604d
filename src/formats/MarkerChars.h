#pragma once

#include <QChar>

// The jump marker "»" and the error marker "¤" (0xBB and 0xA4 in Windows-1252).
inline constexpr QChar JumpMarker = QChar(0x00BB);
inline constexpr QChar ErrorMarker = QChar(0x00A4);
