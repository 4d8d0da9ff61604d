#pragma once

#include "search/SearchRules.h"

#include <QDialog>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class TRichEdit;

// The "Find" dialog: finds text in the script, or steps through its error markers.
class Tfinddialogbox : public QDialog
{
    Q_OBJECT

public:
    explicit Tfinddialogbox(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *BitBtn1, *BitBtn2, *Button1;

    // The editor searched and the seam its messages go through; set by whoever opens
    // the dialog.
    void Attach(TRichEdit *editor, Dialogs *const *dialogs);

    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();
    void Button1Click();
    void Edit1KeyDown(int &key);
    void BitBtn1KeyDown(int &key);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(const FindSearch::Outcome &outcome);

    TRichEdit *m_editor = nullptr;
    Dialogs *const *m_dialogs = nullptr;
    FindSearch m_search;
};
