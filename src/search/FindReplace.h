#pragma once

class Tfinddialogbox;
class Treplacedialogbox;
struct MainControls;

// The commands that open the find and replace dialogs over the script editor.
class FindReplace
{
public:
    explicit FindReplace(MainControls &controls) : m_c(controls) {}

    // The program's two dialogs, created once and kept so that their fields keep what
    // was typed; none in tests that do not want them.
    Tfinddialogbox *FindDialog = nullptr;
    Treplacedialogbox *ReplaceDialog = nullptr;

    void SearchClick();
    void SpeedButton6Click();
    void Replace1Click();
    void SpeedButton3Click();

private:
    void showFind();
    void showReplace();

    MainControls &m_c;
};
