#include "prompt/KeyboardControl.h"

#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/WidgetColours.h"
#include "prompt/KeyRules.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptEngine.h"
#include "prompt/PromptState.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QWidget>

namespace {

// Ctrl+1 to Ctrl+9: black, white, red, green, blue, maroon, navy, aqua, yellow (0x00BBGGRR).
constexpr qint32 DigitColours[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x008000, 0xFF0000,
                                   0x000080, 0x800000, 0xFFFF00, 0x00FFFF};

}

KeyboardControl::KeyboardControl(MainControls &controls, PromptEngine &engine, PromptCommands &commands,
                                 std::function<void()> rereadSettings)
    : m_c(controls), P(*controls.prompt), m_engine(engine), m_commands(commands),
      m_rereadSettings(std::move(rereadSettings))
{
}

void KeyboardControl::RichEditoldKeyPress(QChar &key)
{
    if (!P.Prompting) {
        // Between the runs of a prompting session nothing is typed into the script,
        // and Escape still ends the session.
        if (m_engine.Active()) {
            if (key == QChar(27))
                m_commands.Leave();
            key = QChar();
        }
        return;
    }
    m_commands.KeyboardCharacter(key);
    key = QChar();
}

void KeyboardControl::RichEdit1KeyDown(int &key, Qt::KeyboardModifiers shift)
{
    shift &= ~Qt::KeypadModifier;
    if (P.Prompting)
        promptKeyDown(key, shift);
    else if (m_engine.Active())
        key = 0;
    else
        editingKeyDown(key, shift);
}

void KeyboardControl::promptKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    const KeyRules::Command command = KeyRules::KeyDown(key, shift);
    // Whatever happens, the key never reaches the editor while prompting.
    key = 0;
    switch (command) {
    case KeyRules::Command::RereadSettings:
        m_rereadSettings();
        break;
    case KeyRules::Command::RestartFromTop:
        m_commands.RestartFromTop();
        break;
    case KeyRules::Command::LayOutAgain:
        m_commands.LayOutAgain();
        break;
    case KeyRules::Command::None:
        break;
    }
}

void KeyboardControl::editingKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TRichEdit *editor = m_c.RichEdit1;
    if (shift == Qt::AltModifier && (key == Qt::Key_Left || key == Qt::Key_Right)) {
        editor->SelectAll();
        editor->SetRightIndent(editor->RightIndent() + (key == Qt::Key_Left ? 10 : -10));
        editor->SetSelLength(0);
        return;
    }
    if (shift != Qt::ControlModifier)
        return;
    const int pressed = key;
    switch (pressed) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        key = 0;
        stepFont(pressed == Qt::Key_Left ? -1 : 1);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        key = 0;
        stepFontSize(pressed == Qt::Key_Up ? 10 : -10);
        break;
    case Qt::Key_0:
        toggleBackground();
        break;
    default:
        if (pressed >= Qt::Key_1 && pressed <= Qt::Key_9)
            colourBothPanes(pressed - Qt::Key_0);
        break;
    }
}

void KeyboardControl::stepFont(int step)
{
    TRichEdit *editor = m_c.RichEdit1;
    QComboBox *list = m_c.fontname;
    editor->SelectAll();
    int index = std::max(0, list->currentIndex());
    if (step < 0) {
        if (index >= 1)
            --index;
    } else {
        ++index;
    }
    // Past the last font the list has nothing to name; the last one stays.
    index = std::min(index, list->count() - 1);
    const QString name = list->itemText(index);
    list->setEditText(name);
    editor->SetSelFontName(name);
    list->setCurrentIndex(index);
    editor->SetSelection(P.SavedSelStart, 0);
}

void KeyboardControl::stepFontSize(int step)
{
    bool ok = false;
    int size = m_c.fontsize->text().toInt(&ok);
    if (!ok)
        size = 0;
    m_c.fontsize->setText(QString::number(size + step));
    m_c.RichEdit1->SetSelection(P.SavedSelStart, 0);
}

void KeyboardControl::colourBothPanes(int digit)
{
    const qint32 colour = DigitColours[digit - 1];
    m_c.RichEdit1->SetSelColor(colour);
    m_c.RichEdit2->SetSelColor(colour);
}

void KeyboardControl::toggleBackground()
{
    SetScriptBackground(m_c, m_c.RichEdit1->BackgroundColor() == 0 ? 0xFFFFFF : 0);
}

void KeyboardControl::RichEdit2KeyDown(int &key, Qt::KeyboardModifiers)
{
    key = 0;
    m_c.RichEdit1->setFocus();
}

void KeyboardControl::RichEdit2KeyPress(QChar &key)
{
    key = QChar();
    m_c.RichEdit1->setFocus();
}

void KeyboardControl::FormKeyDown(int &key, Qt::KeyboardModifiers)
{
    key = 0;
}
