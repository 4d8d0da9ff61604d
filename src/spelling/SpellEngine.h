#pragma once

#include "spelling/SpellEngineOptions.h"

class QTextEdit;
class QWidget;

// The spelling engine as the spelling component sees it: its options, the counts of
// the last check, a modal check of a text control, and the reset after a check.
class SpellEngine
{
public:
    virtual ~SpellEngine() = default;

    virtual SpellEngineOptions &Options() = 0;
    virtual SpellStatistics Statistics() const = 0;
    virtual QString Version() const = 0;
    // Shows the engine's dialog over parent and checks the control's text (its selection
    // only when asked), correcting it in place. Returns when the dialog has closed:
    // 0 or more on success, below 0 on failure (SpellStatus).
    virtual qint16 CheckCtrlDlg(QWidget *parent, QTextEdit *control, bool selectedTextOnly) = 0;
    virtual void ResetLex() = 0;
};
