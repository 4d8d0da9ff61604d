#include "search/Tfinddialogbox.h"

#include "controls/Dialogs.h"
#include "controls/TRichEdit.h"
#include "search/DialogLook.h"
#include "search/DocumentSearchEditor.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Tfinddialogbox::Tfinddialogbox(QWidget *parent)
    : QDialog(parent),
      Label1(new QLabel(QStringLiteral("Find what?"), this)),
      Edit1(new QLineEdit(this)),
      BitBtn1(new QPushButton(QStringLiteral("Find Next"), this)),
      BitBtn2(new QPushButton(QStringLiteral("Cancel"), this)),
      Button1(new QPushButton(QStringLiteral("Error Marker"), this))
{
    setObjectName(QStringLiteral("Tfinddialogbox"));
    setWindowTitle(QStringLiteral("Find"));
    setFont(SearchDialogFont());
    setFixedSize(345, 100);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(10, 12, 70, 21);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(84, 12, 158, 21);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(256, 10, 80, 25);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(256, 40, 80, 25);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(256, 70, 80, 25);
    // Enter and Escape do only what the dialog's own key handlers say.
    for (QPushButton *button : {BitBtn1, BitBtn2, Button1})
        button->setAutoDefault(false);
    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, Button1);
    Edit1->installEventFilter(this);
    BitBtn1->installEventFilter(this);

    connect(BitBtn1, &QPushButton::clicked, this, &Tfinddialogbox::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfinddialogbox::BitBtn2Click);
    connect(Button1, &QPushButton::clicked, this, &Tfinddialogbox::Button1Click);
}

void Tfinddialogbox::Attach(TRichEdit *editor, Dialogs *const *dialogs)
{
    m_editor = editor;
    m_dialogs = dialogs;
}

void Tfinddialogbox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void Tfinddialogbox::FormShow()
{
    // Each showing searches the script afresh from its top.
    m_search.FormShow(m_editor ? m_editor->Text() : QString());
    Edit1->setFocus();
}

void Tfinddialogbox::show(const FindSearch::Outcome &outcome)
{
    Edit1->setText(outcome.field);
    if (!outcome.found) {
        if (m_dialogs && *m_dialogs)
            (*m_dialogs)->information(this, QStringLiteral("No more text to search"));
    }
}

void Tfinddialogbox::BitBtn1Click()
{
    if (!m_editor)
        return;
    DocumentSearchEditor editor(m_editor->textCursor());
    const FindSearch::Outcome outcome = m_search.FindNext(editor, Edit1->text());
    if (outcome.found) {
        m_editor->setTextCursor(editor.Cursor());
        m_editor->ensureCursorVisible();
    }
    show(outcome);
}

void Tfinddialogbox::Button1Click()
{
    if (!m_editor)
        return;
    DocumentSearchEditor editor(m_editor->textCursor());
    const FindSearch::Outcome outcome = m_search.ErrorMarker(editor);
    if (outcome.found) {
        m_editor->setTextCursor(editor.Cursor());
        m_editor->ensureCursorVisible();
    }
    show(outcome);
}

void Tfinddialogbox::BitBtn2Click()
{
    close();
}

void Tfinddialogbox::Edit1KeyDown(int &key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        key = 0;
        BitBtn1Click();
    } else if (key == Qt::Key_Escape) {
        key = 0;
        BitBtn2Click();
    }
}

void Tfinddialogbox::BitBtn1KeyDown(int &key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        key = 0;
        BitBtn1Click();
    }
}

bool Tfinddialogbox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == Edit1 || watched == BitBtn1)) {
        int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == Edit1)
            Edit1KeyDown(key);
        else
            BitBtn1KeyDown(key);
        if (key == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfinddialogbox::keyPressEvent(QKeyEvent *event)
{
    // No default button and no cancel key of the dialog's own.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
