#pragma once

#include <QString>

// Where the marker commands, find and replace and the controller's marker step
// stand in the script. Positions in SearchText are 1-based.
struct MarkerSearchState
{
    QString SearchText;
    qint32 FoundPos = 0;
    qint32 MarkerPos = 0;
    qint32 MarkerScanPos = 0;
};
