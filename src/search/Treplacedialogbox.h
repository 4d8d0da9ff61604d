#pragma once

#include "search/SearchRules.h"

#include <QDialog>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class TRichEdit;

// The "Replace" dialog: finds text in the script and replaces it, one hit at a time
// or all at once.
class Treplacedialogbox : public QDialog
{
    Q_OBJECT

public:
    explicit Treplacedialogbox(QWidget *parent = nullptr);

    QLabel *Label1, *Label2;
    QLineEdit *Edit1, *Edit2;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3, *BitBtn4;

    // A new pass over the editor's script. foundPos is the program's shared last-hit
    // position, which Replace consults.
    void Open(TRichEdit *editor, Dialogs *const *dialogs, qint32 &foundPos);

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void message(const QString &text);

    TRichEdit *m_editor = nullptr;
    Dialogs *const *m_dialogs = nullptr;
    ReplaceSearch m_search;
};
