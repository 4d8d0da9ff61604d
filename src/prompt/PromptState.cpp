#include "prompt/PromptState.h"

#include "app/TRichEdit.h"
#include "editor/MarkerChars.h"

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

void PromptState::InsertErrorMarks(TRichEdit &editor)
{
    for (int i = 0; i < ErrorMarkCount; ++i) {
        const int start = editor.LineIndex(ErrorMarkLines[i]);
        if (start >= 0) {
            editor.SetSelection(start, 0);
            editor.SetSelText(QString(ErrorMarker));
        }
        ErrorMarkLines[i] = 0;
    }
    ErrorMarkCount = 0;
}
