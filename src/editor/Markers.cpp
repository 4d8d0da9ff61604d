#include "editor/Markers.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "formats/MarkerChars.h"
#include "editor/MarkerSearch.h"

void Markers::Marker1Click()
{
    m_c.RichEdit1->SetSelText(QString(JumpMarker));
}

void Markers::NextMarker1Click()
{
    step(MarkerSearch::next, JumpMarker);
}

void Markers::PreviousMarker1Click()
{
    step(MarkerSearch::previous, JumpMarker);
}

void Markers::Nexterrormark1Click()
{
    step(MarkerSearch::next, ErrorMarker);
}

void Markers::PreviouserrorMark1Click()
{
    step(MarkerSearch::previous, ErrorMarker);
}

void Markers::step(SearchFunction search, QChar marker)
{
    const auto found = search(*m_c.markers, m_c.RichEdit1->Text(), marker);
    if (found)
        m_c.RichEdit1->SetSelection(found->start, found->length);
}
