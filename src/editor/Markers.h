#pragma once

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
    MainControls &m_c;
};
