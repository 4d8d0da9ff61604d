#pragma once

#include <QString>

#include <array>

// A Help menu item that opens the help document at a heading.
struct HelpTopic
{
    const char *item;  // the menu item's name
    const char *heading;
    int extraLines;    // scrolled on after the heading has been brought into view
};

// In menu order. "Spell Check" and "About" are not topics of the document.
inline constexpr std::array<HelpTopic, 12> HelpTopics{{
    {"Introduction1", "Introduction", 0},
    {"Settingup1", "Setting up", 6},
    {"Openascript1", "Opening a script", 6},
    {"HelpSearchItem", "Saving a script", 6},
    {"KeyboardShortcuts1", "Keyboard shortcuts", 6},
    {"CutCopyandpaste1", "Cut, copy and paste", 6},
    {"Searchandreplace1", "Find, replace", 6},
    {"Performancetuning1", "Performance tuning", 6},
    {"Hardwarerequirements1", "Hardware requirements", 6},
    {"Videoout1", "Video out", 6},
    {"Problems1", "Problems", 6},
    {"Contacts1", "Contacts", 6},
}};

// Where the caret goes for a heading: the 1-based position of its first occurrence in the
// document's plain text (case counts) taken as a 0-based index, so it stands just after
// the heading's first character; 0 when the heading is not there.
int HeadingCaretPosition(const QString &plainText, const QString &heading);

// The help document's name; it is looked for in the current directory.
inline const char *const HelpFileName = "help.rtf";
