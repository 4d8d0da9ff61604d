#pragma once

#include "editor/MarkerSearch.h"

struct MainControls;

// Jump and error markers in the script and the commands that step between them.
class Markers
{
public:
    explicit Markers(MainControls &controls) : m_c(controls) {}

    void Marker1Click();
    void NextMarker1Click();
    void PreviousMarker1Click();
    void Nexterrormark1Click();
    void PreviouserrorMark1Click();

private:
    using SearchFunction = std::optional<MarkerSearch::Selection> (*)(MarkerSearchState &, const QString &, QChar);
    void step(SearchFunction search, QChar marker);

    MainControls &m_c;
};
