#pragma once

#include "controls/ErrorGuard.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class SpellCheckRun;
struct Misspelling;

// The spelling check's modal dialog: the word not found, its sentence, what to change
// it to, and the operator's choices. Each choice is made at once in the text.
class SpellingDialog : public QDialog
{
    Q_OBJECT

public:
    // The run must stand at a word (its Next() returned true); the dialog shows it
    // when it is shown.
    SpellingDialog(SpellCheckRun &run, QWidget *parent = nullptr);

    // Called for each word shown, so the caller can point at it in the text; returns
    // where the word is on the screen, which the dialog then keeps clear of.
    std::function<QRect(const Misspelling &)> OnShowWord;
    // Called with the text of an error the dialog cannot show itself (Add failing).
    std::function<void(const QString &)> OnError;

    QLineEdit *NotInDictionary;
    QLabel *Context;
    QLineEdit *ChangeTo;
    QListWidget *Suggestions;
    QPushButton *IgnoreButton, *IgnoreAllButton, *ChangeButton, *ChangeAllButton, *AddButton, *HelpButton,
        *CancelButton;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *addButton(const char *name, const QString &caption);
    void act(const std::function<void()> &action);
    ErrorGuard guard();
    void showCurrent();
    void keepClearOfWord();

    SpellCheckRun &m_run;
    QRect m_wordArea;
    bool m_started = false;
};
