#include "prompt/PromptState.h"

void PromptState::ResetPosition(qint32 lineCount)
{
    TopLine = 0;
    NextLine = 0;
    LineCount = lineCount;
}

void PromptState::RecordErrorMark()
{
    ErrorMarkLines[ErrorMarkCount] = TopLine;
    if (ErrorMarkCount < MaxErrorMarks)
        ++ErrorMarkCount;
}

void PromptState::ClearErrorMarks()
{
    ErrorMarkLines.fill(0);
}

void PromptState::InsertErrorMarks(const std::function<void(qint32 line)> &insertMarkerAt)
{
    for (int i = 0; i < ErrorMarkCount; ++i) {
        insertMarkerAt(ErrorMarkLines[i]);
        ErrorMarkLines[i] = 0;
    }
    ErrorMarkCount = 0;
}
