#include "spelling/SpellingHelp.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QTextBrowser>
#include <QVBoxLayout>

QString SpellingHelpText()
{
    return QStringLiteral(
        "<h3>Checking the spelling of a script</h3>"
        "<p>Press <b>F7</b>, choose <b>Tools &gt; Spell</b> or click the <b>Spell</b> button "
        "(the tick on the tool bar). The whole script is checked from the top, word by word. "
        "When a word is not in the dictionary, the <b>Check Spelling</b> window shows it, "
        "with its sentence, and the word is selected in the script.</p>"
        "<p><b>Change to</b> holds the best suggestion; pick another from <b>Suggestions</b> "
        "or type your own. Then choose:</p>"
        "<ul>"
        "<li><b>Ignore</b>: leave this one as it is.</li>"
        "<li><b>Ignore All</b>: leave this word as it is wherever it appears, until the check ends.</li>"
        "<li><b>Change</b>: replace this word with the text in Change to (Enter does the same; "
        "an empty Change to deletes the word).</li>"
        "<li><b>Change All</b>: replace it here and wherever it appears further on.</li>"
        "<li><b>Add</b>: the word is right; it is added to your own word list, userdic.tlx, "
        "and is never questioned again.</li>"
        "<li><b>Cancel</b> (or Escape): stop the check. Changes already made stay.</li>"
        "</ul>"
        "<p>Corrections are made in the script at once and keep the word's formatting; "
        "Undo (Ctrl+Z) takes them back one at a time. When the check ends the caret goes to the "
        "start of the script.</p>"
        "<h3>Word lists</h3>"
        "<p>The main dictionary is the system's English (US) Hunspell dictionary. Beside the "
        "program, plain-text word lists are read as well: userdic.tlx, correct.tlx and html.tlx "
        "(and ssceam.tlx, ssceam2.clx if present), one word a line. A line written "
        "<i>wrong=right</i>, for example <i>teh=the</i>, is an automatic correction: the check "
        "makes it without asking.</p>");
}

SpellingHelpWindow::SpellingHelpWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SpellingHelp"));
    setWindowTitle(QStringLiteral("Spell Check"));
    setFont(QGuiApplication::font());
    auto *text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("SpellingHelpText"));
    text->setHtml(SpellingHelpText());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(480, 420);
}
