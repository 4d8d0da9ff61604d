#include "search/FindReplace.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "editor/MarkerSearchState.h"
#include "search/Tfinddialogbox.h"
#include "search/Treplacedialogbox.h"

void FindReplace::SearchClick()
{
    showFind();
}

void FindReplace::SpeedButton6Click()
{
    showFind();
}

void FindReplace::Replace1Click()
{
    showReplace();
}

void FindReplace::SpeedButton3Click()
{
    showReplace();
}

void FindReplace::showFind()
{
    if (!FindDialog)
        return;
    FindDialog->Attach(m_c.RichEdit1, m_c.dialogs);
    FindDialog->exec();
    m_c.RichEdit1->setFocus();
}

void FindReplace::showReplace()
{
    if (!ReplaceDialog)
        return;
    ReplaceDialog->Open(m_c.RichEdit1, m_c.dialogs, m_c.markers->FoundPos);
    ReplaceDialog->exec();
    m_c.RichEdit1->setFocus();
}
