#pragma once

struct MainControls;

// Undo, redo, cut, copy, paste, select all, and the date and time at the caret.
class EditCommands
{
public:
    explicit EditCommands(MainControls &controls) : m_c(controls) {}

    void EditUndo();
    void EditRedo();
    void EditCut();
    void EditCopy();
    void EditPaste();
    void N6Click();
    void Date1Click();
    void Time1Click();

private:
    void pasteFormatted();

    MainControls &m_c;
};
