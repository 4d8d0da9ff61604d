#include "prompt/PromptState.h"

void PromptState::ResetPosition(qint32 lineCount)
{
    TopLine = 0;
    NextLine = 0;
    LineCount = lineCount;
}

void PromptState::RequestLeave()
{
    Prompting = 0;
    LoopRunning = 0;
    RepeatPrompt = 0;
}

void PromptState::RequestRelayout(qint32 startLine)
{
    Prompting = 0;
    LoopRunning = 0;
    StartLine = startLine;
}

void PromptState::RequestReplace(qint32 startLine)
{
    RestartPending = 1;
    LoopRunning = 0;
    StartLine = startLine;
}

void PromptState::RequestEndSession()
{
    LoopRunning = 0;
    RepeatPrompt = 0;
}

void PromptState::RecordErrorMark()
{
    RecordErrorMark(TopLine);
}

void PromptState::RecordErrorMark(qint32 line)
{
    ErrorMarkLines[ErrorMarkCount] = line;
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
