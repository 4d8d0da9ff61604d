#pragma once

#include "controls/TRichEdit.h"

#include <QString>

struct MainControls;

// Character and paragraph formatting of the script, and the tool bar that shows it.
class Formatting
{
public:
    explicit Formatting(MainControls &controls);

    // Set while the tool bar is being updated from the selection, so that the
    // controls' change handlers do not write back into the script.
    bool SyncingToolbar = false;

    // The editor's selection format, after giving the editor the focus.
    TextAttributes SelectionFormat();
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

    // The size box's text as a whole number of points; false when it is none.
    static bool ParseFontSize(const QString &text, int *points);
    // Larger sizes are clamped: glyphs that big only exhaust memory.
    static constexpr int MaxFontSize = 1638;
    static constexpr int DefaultBaseSize = 60;

private:
    enum class Style { Bold, Italic, Underline };
    void applyStyle(Style style);
    void toggleStyleFromMenu(Style style);
    void caretToStart();
    void connectControls();

    MainControls &m_c;
    // While the size box applies its own text, the tool-bar update must not rewrite it
    // under the operator's fingers.
    bool m_applyingSize = false;
    // The name last applied and the editor's change count just after it, so a choice
    // reported twice (text change and activation) is applied once.
    QString m_appliedName;
    quint64 m_changesAtApplied = 0;
    quint64 m_changes = 0;
};
