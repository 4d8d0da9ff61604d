#pragma once

#include <QtGlobal>

class Tcolorform;
struct MainControls;

// Text and background colours of the script, inverse video, and the case command.
class Colours
{
public:
    explicit Colours(MainControls &controls) : m_c(controls) {}

    // The program's colour dialog, created once so that its choices last; none in
    // tests that do not want it.
    Tcolorform *ColorForm = nullptr;

    void SpeedButton5Click();
    void BackgroundColor1Click();
    void SpeedButton8Click();
    void Inverse1Click();
    void SpeedButton7Click();

    // A colour chosen in the dialog's grid, for the selection's text or the background.
    void ChooseColour(qint32 colour, bool forText);
    // Text and background swap places: the whole script takes the background colour,
    // the background the colour at the caret.
    void Inverse();
    // The editor's own text colour (not the selection's), and its background.
    qint32 BaseTextColour() const;
    qint32 BackgroundColour() const;

private:
    void showDialog();
    qint32 selectionColour() const;

    MainControls &m_c;
};
