#pragma once

#include <QPointer>

struct HelpTopic;
struct MainControls;
class Thelpform;

// The Help menu: topics of the help document in the help viewer, and the about box.
class HelpCommands
{
public:
    explicit HelpCommands(MainControls &controls) : m_c(controls) {}

    // The program's help viewer; topics do nothing without one.
    QPointer<Thelpform> Viewer;

    void Introduction1Click();
    void Settingup1Click();
    void Openascript1Click();
    void HelpSearch();
    void KeyboardShortcuts1Click();
    void CutCopyandpaste1Click();
    void Searchandreplace1Click();
    void Performancetuning1Click();
    void Hardwarerequirements1Click();
    void Videoout1Click();
    void Problems1Click();
    void Contacts1Click();
    void HelpAbout();

private:
    void showTopic(const HelpTopic &topic);

    MainControls &m_c;
};
