#pragma once

struct MainControls;

// Character and paragraph formatting of the script, and the tool bar that shows it.
class Formatting
{
public:
    explicit Formatting(MainControls &controls) : m_c(controls) {}

    // Set while the tool bar is being updated from the selection, so that the
    // controls' change handlers do not write back into the script.
    bool SyncingToolbar = false;

    void FillFontNames();
    void ShowSelectionFormat();
    void RichEdit1SelectionChange();

    void BoldButtonClick();
    void UnderlineButtonClick();
    void ItalicButtonClick();
    void Bold1Click();
    void Underline1Click();
    void Italic1Click();
    void FontNameoldChange();
    void FontSizeoldChange();
    void FontSizeoldKeyUp(int key);
    void AlignLeft1Click();
    void AlignRight1Click();
    void AlignCentre1Click();
    void Bullets2Click();

private:
    MainControls &m_c;
};
