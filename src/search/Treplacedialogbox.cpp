#include "search/Treplacedialogbox.h"

#include "controls/Dialogs.h"
#include "controls/TRichEdit.h"
#include "search/DialogLook.h"
#include "search/DocumentSearchEditor.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Treplacedialogbox::Treplacedialogbox(QWidget *parent)
    : QDialog(parent),
      Label1(new QLabel(QStringLiteral("Find what?"), this)),
      Label2(new QLabel(QStringLiteral("Replace with?"), this)),
      Edit1(new QLineEdit(this)),
      Edit2(new QLineEdit(this)),
      BitBtn1(new QPushButton(QStringLiteral("Find Next"), this)),
      BitBtn2(new QPushButton(QStringLiteral("Replace"), this)),
      BitBtn3(new QPushButton(QStringLiteral("Replace All"), this)),
      BitBtn4(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("Treplacedialogbox"));
    setWindowTitle(QStringLiteral("Replace"));
    setFont(SearchDialogFont());
    setFixedSize(345, 130);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(10, 12, 80, 21);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(10, 42, 80, 21);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(94, 12, 150, 21);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(94, 42, 150, 21);
    int top = 10;
    for (QPushButton *button : {BitBtn1, BitBtn2, BitBtn3, BitBtn4}) {
        button->setGeometry(256, top, 80, 25);
        // Enter and Escape mean nothing special here.
        button->setAutoDefault(false);
        top += 29;
    }
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);

    connect(BitBtn1, &QPushButton::clicked, this, &Treplacedialogbox::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Treplacedialogbox::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &Treplacedialogbox::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &Treplacedialogbox::BitBtn4Click);
}

void Treplacedialogbox::Open(TRichEdit *editor, Dialogs *const *dialogs, qint32 &foundPos)
{
    m_editor = editor;
    m_dialogs = dialogs;
    m_search.Open(editor->Text(), foundPos);
}

void Treplacedialogbox::message(const QString &text)
{
    if (m_dialogs && *m_dialogs)
        (*m_dialogs)->information(this, text);
}

void Treplacedialogbox::BitBtn1Click()
{
    if (!m_editor)
        return;
    DocumentSearchEditor editor(m_editor->textCursor());
    const FindSearch::Outcome outcome = m_search.FindNext(editor, Edit1->text());
    Edit1->setText(outcome.field);
    if (!outcome.found) {
        message(QStringLiteral("No more text to search"));
        return;
    }
    m_editor->setTextCursor(editor.Cursor());
    m_editor->ensureCursorVisible();
}

void Treplacedialogbox::BitBtn2Click()
{
    if (!m_editor)
        return;
    DocumentSearchEditor editor(m_editor->textCursor());
    if (m_search.Replace(editor, Edit2->text())) {
        m_editor->setTextCursor(editor.Cursor());
        m_editor->ensureCursorVisible();
    }
}

void Treplacedialogbox::BitBtn3Click()
{
    if (!m_editor)
        return;
    DocumentSearchEditor editor(m_editor->textCursor());
    const ReplaceSearch::Outcome outcome = m_search.ReplaceAll(editor, Edit1->text(), Edit2->text());
    Edit1->setText(outcome.field);
    if (outcome.replaced > 0) {
        m_editor->setTextCursor(editor.Cursor());
        m_editor->ensureCursorVisible();
    }
    message(QStringLiteral("Finished!"));
}

void Treplacedialogbox::BitBtn4Click()
{
    close();
}

void Treplacedialogbox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
