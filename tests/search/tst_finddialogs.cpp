#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "editor/Markers.h"
#include "formats/MarkerChars.h"
#include "search/FindReplace.h"
#include "search/Tfinddialogbox.h"
#include "search/Treplacedialogbox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

// The find and replace dialogs on a real window, opened by the program's commands.
class tst_FindDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void layouts();
    void openingCommands_data();
    void openingCommands();
    void findKeys();
    void findAgainAfterReopening();
    void errorMarkerButton();
    void replaceAllAndFinished();
    void replaceKeysMeanNothing();
    void replaceActsOnMarkerHit();

private:
    // Runs a command that opens a dialog, and the steps while the dialog is up.
    void whileOpen(const QString &command, QDialog *dialog, const std::function<void()> &steps);
    QString selected() const { return edit()->SelText(); }
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    std::unique_ptr<Tfinddialogbox> m_find;
    std::unique_ptr<Treplacedialogbox> m_replace;
    TRichEdit *edit() const { return m_form->RichEdit1; }
};

void tst_FindDialogs::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    m_find = std::make_unique<Tfinddialogbox>();
    m_replace = std::make_unique<Treplacedialogbox>();
    m_form->FindAndReplace->FindDialog = m_find.get();
    m_form->FindAndReplace->ReplaceDialog = m_replace.get();
    m_form->show();
}

void tst_FindDialogs::cleanup()
{
    m_form = nullptr;
    m_window.reset();
    m_find.reset();
    m_replace.reset();
}

void tst_FindDialogs::whileOpen(const QString &command, QDialog *dialog, const std::function<void()> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        ran = true;
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        steps();
        if (dialog->isVisible())
            dialog->reject();
    });
    if (QAction *action = m_form->Action(command))
        action->trigger();
    else
        m_form->ToolBar1->findChild<QToolButton *>(command)->click();
    QVERIFY(ran);
    QVERIFY(!dialog->isVisible());
}

void tst_FindDialogs::layouts()
{
    QCOMPARE(m_find->windowTitle(), QStringLiteral("Find"));
    QCOMPARE(m_find->Label1->text(), QStringLiteral("Find what?"));
    QCOMPARE(m_find->BitBtn1->text(), QStringLiteral("Find Next"));
    QCOMPARE(m_find->BitBtn2->text(), QStringLiteral("Cancel"));
    QCOMPARE(m_find->Button1->text(), QStringLiteral("Error Marker"));
    QCOMPARE(m_replace->windowTitle(), QStringLiteral("Replace"));
    QCOMPARE(m_replace->Label1->text(), QStringLiteral("Find what?"));
    QCOMPARE(m_replace->Label2->text(), QStringLiteral("Replace with?"));
    QCOMPARE(m_replace->BitBtn1->text(), QStringLiteral("Find Next"));
    QCOMPARE(m_replace->BitBtn2->text(), QStringLiteral("Replace"));
    QCOMPARE(m_replace->BitBtn3->text(), QStringLiteral("Replace All"));
    QCOMPARE(m_replace->BitBtn4->text(), QStringLiteral("Cancel"));
    QCOMPARE(m_replace->minimumSize(), m_replace->maximumSize());
    // Tab order as the operator meets the controls.
    QCOMPARE(m_find->Edit1->nextInFocusChain(), m_find->BitBtn1);
    QCOMPARE(m_find->BitBtn1->nextInFocusChain(), m_find->BitBtn2);
    QCOMPARE(m_find->BitBtn2->nextInFocusChain(), m_find->Button1);
    QWidget *w = m_replace->Edit1;
    for (QWidget *next : std::initializer_list<QWidget *>{m_replace->Edit2, m_replace->BitBtn1, m_replace->BitBtn2,
                                                          m_replace->BitBtn3, m_replace->BitBtn4}) {
        QCOMPARE(w->nextInFocusChain(), next);
        w = next;
    }
}

void tst_FindDialogs::openingCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("replace");
    QTest::newRow("Edit > Find") << QStringLiteral("Search1") << false;
    QTest::newRow("Search button") << QStringLiteral("SpeedButton22") << false;
    QTest::newRow("Edit > Replace") << QStringLiteral("Replace1") << true;
    QTest::newRow("Replace button") << QStringLiteral("SpeedButton24") << true;
}

// Every opening searches from the top of the script as it is, keeps what was typed in
// the field, and gives the focus back to the editor.
void tst_FindDialogs::openingCommands()
{
    QFETCH(QString, command);
    QFETCH(bool, replace);
    QDialog *dialog = replace ? static_cast<QDialog *>(m_replace.get()) : m_find.get();
    QLineEdit *field = replace ? m_replace->Edit1 : m_find->Edit1;
    QPushButton *findNext = replace ? m_replace->BitBtn1 : m_find->BitBtn1;
    edit()->setPlainText(QStringLiteral("Word one, word two"));
    edit()->SetSelection(12, 0);

    for (int opening = 0; opening < 2; ++opening) {
        m_form->fontname->setFocus();
        whileOpen(command, dialog, [&] {
            if (opening == 0)
                QTest::keyClicks(field, QStringLiteral("WORD"));
            QCOMPARE(field->text(), opening == 0 ? QStringLiteral("WORD") : QStringLiteral("word"));
            QTest::mouseClick(findNext, Qt::LeftButton);
            QCOMPARE(field->text(), QStringLiteral("word"));
            QCOMPARE(edit()->SelStart(), 0);
            QCOMPARE(selected(), QStringLiteral("Word"));
            QTest::mouseClick(findNext, Qt::LeftButton);
            QCOMPARE(edit()->SelStart(), 10);
            QTest::mouseClick(findNext, Qt::LeftButton);
            QCOMPARE(m_window->dialogs.messages, QStringList{QStringLiteral("No more text to search")});
            QCOMPARE(edit()->SelStart(), 10);
            QCOMPARE(selected(), QStringLiteral("word"));
            m_window->dialogs.messages.clear();
        });
        QCOMPARE(m_form->focusWidget(), edit());
    }
}

// In the find dialog, Enter in the field or on Find Next finds; Escape in the field closes.
void tst_FindDialogs::findKeys()
{
    edit()->setPlainText(QStringLiteral("aaa"));
    whileOpen(QStringLiteral("Search1"), m_find.get(), [&] {
        m_find->Edit1->setText(QStringLiteral("AA"));
        QTest::keyClick(m_find->Edit1, Qt::Key_Return);
        QCOMPARE(m_find->Edit1->text(), QStringLiteral("aa"));
        QCOMPARE(edit()->SelStart(), 0);
        QCOMPARE(edit()->SelLength(), 2);
        QTest::keyClick(m_find->BitBtn1, Qt::Key_Enter);
        QCOMPARE(edit()->SelStart(), 1);
        QCOMPARE(edit()->SelLength(), 2);
        QVERIFY(m_window->dialogs.messages.isEmpty());
        QTest::keyClick(m_find->Edit1, Qt::Key_Return);
        QCOMPARE(m_window->dialogs.messages, QStringList{QStringLiteral("No more text to search")});
        // Enter on the other buttons does not search.
        QTest::keyClick(m_find->Button1, Qt::Key_Return);
        QCOMPARE(m_window->dialogs.messages.size(), 1);
        QTest::keyClick(m_find->Edit1, Qt::Key_Escape);
        QVERIFY(!m_find->isVisible());
    });
}

void tst_FindDialogs::findAgainAfterReopening()
{
    edit()->setPlainText(QStringLiteral("go \u00bb on"));
    whileOpen(QStringLiteral("Search1"), m_find.get(), [&] {
        m_find->Edit1->clear();
        QTest::mouseClick(m_find->BitBtn1, Qt::LeftButton);
        QCOMPARE(m_find->Edit1->text(), QString(JumpMarker));
        QCOMPARE(edit()->SelStart(), 3);
        QTest::mouseClick(m_find->BitBtn2, Qt::LeftButton);
    });
    // The script changed between the openings: the new pass sees the new text.
    edit()->setPlainText(QStringLiteral("\u00bb\u00bb"));
    whileOpen(QStringLiteral("Search1"), m_find.get(), [&] {
        QTest::mouseClick(m_find->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 0);
        QTest::mouseClick(m_find->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 1);
    });
}

void tst_FindDialogs::errorMarkerButton()
{
    edit()->setPlainText(QStringLiteral("\u00a4one two \u00a4three \u00a4"));
    whileOpen(QStringLiteral("Search1"), m_find.get(), [&] {
        m_find->Edit1->setText(QStringLiteral("Two"));
        QTest::mouseClick(m_find->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 5);
        QTest::mouseClick(m_find->Button1, Qt::LeftButton);
        QCOMPARE(m_find->Edit1->text(), QString(ErrorMarker));
        QCOMPARE(edit()->SelStart(), 9);
        QCOMPARE(selected(), QString(ErrorMarker));
        QTest::mouseClick(m_find->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 16);
        QTest::mouseClick(m_find->Button1, Qt::LeftButton);
        QCOMPARE(m_window->dialogs.messages, QStringList{QStringLiteral("No more text to search")});
    });
}

void tst_FindDialogs::replaceAllAndFinished()
{
    edit()->setPlainText(QStringLiteral("ab AB cab"));
    edit()->SetModified(false);
    whileOpen(QStringLiteral("Replace1"), m_replace.get(), [&] {
        m_replace->Edit1->setText(QStringLiteral("Ab"));
        m_replace->Edit2->setText(QStringLiteral("Xyz"));
        QTest::mouseClick(m_replace->BitBtn3, Qt::LeftButton);
        QCOMPARE(edit()->Text(), QStringLiteral("Xyz Xyz cXyz"));
        QCOMPARE(m_replace->Edit1->text(), QStringLiteral("ab"));
        QCOMPARE(m_window->dialogs.messages, QStringList{QStringLiteral("Finished!")});
        QCOMPARE(m_form->MarkerSearch.FoundPos, 0);
        // The dialog stays open; a Replace now has no hit to act on.
        QVERIFY(m_replace->isVisible());
        QTest::mouseClick(m_replace->BitBtn2, Qt::LeftButton);
        QCOMPARE(edit()->Text(), QStringLiteral("Xyz Xyz cXyz"));
        // Nothing left: only "Finished!" again.
        QTest::mouseClick(m_replace->BitBtn3, Qt::LeftButton);
        QCOMPARE(m_window->dialogs.messages.size(), 2);
        QCOMPARE(m_window->dialogs.messages.last(), QStringLiteral("Finished!"));
        QTest::mouseClick(m_replace->BitBtn4, Qt::LeftButton);
    });
    QVERIFY(edit()->Modified());
    // One undo takes back the whole Replace All.
    m_form->Action(QStringLiteral("EditUndoItem"))->trigger();
    QCOMPARE(edit()->Text(), QStringLiteral("ab AB cab"));
}

void tst_FindDialogs::replaceKeysMeanNothing()
{
    edit()->setPlainText(QStringLiteral("one two"));
    whileOpen(QStringLiteral("SpeedButton24"), m_replace.get(), [&] {
        m_replace->Edit1->setText(QStringLiteral("two"));
        m_replace->Edit2->setText(QStringLiteral("2"));
        for (QWidget *w : std::initializer_list<QWidget *>{m_replace->Edit1, m_replace->Edit2, m_replace->BitBtn1}) {
            QTest::keyClick(w, Qt::Key_Return);
            QTest::keyClick(w, Qt::Key_Escape);
        }
        QVERIFY(m_replace->isVisible());
        QCOMPARE(edit()->Text(), QStringLiteral("one two"));
        QCOMPARE(edit()->SelLength(), 0);
        QVERIFY(m_window->dialogs.messages.isEmpty());
        // Find Next, then Replace twice: the second puts the text in again at the caret.
        QTest::mouseClick(m_replace->BitBtn1, Qt::LeftButton);
        QCOMPARE(selected(), QStringLiteral("two"));
        QTest::mouseClick(m_replace->BitBtn2, Qt::LeftButton);
        QCOMPARE(edit()->Text(), QStringLiteral("one 2"));
        QTest::mouseClick(m_replace->BitBtn2, Qt::LeftButton);
        QCOMPARE(edit()->Text(), QStringLiteral("one 22"));
        QCOMPARE(edit()->SelStart(), 6);
    });
}

// A marker command leaves its hit selected and the shared last-hit position set, so a
// Replace right after opening replaces the marker.
void tst_FindDialogs::replaceActsOnMarkerHit()
{
    edit()->setPlainText(QStringLiteral("ab \u00bb ab"));
    m_form->MarkerCommands->NextMarker1Click();
    QCOMPARE(edit()->SelStart(), 3);
    QVERIFY(m_form->MarkerSearch.FoundPos != 0);
    whileOpen(QStringLiteral("Replace1"), m_replace.get(), [&] {
        m_replace->Edit1->setText(QStringLiteral("ab"));
        m_replace->Edit2->setText(QStringLiteral("[pause]"));
        QTest::mouseClick(m_replace->BitBtn2, Qt::LeftButton);
        QCOMPARE(edit()->Text(), QStringLiteral("ab [pause] ab"));
        QTest::mouseClick(m_replace->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 0);
        QCOMPARE(selected(), QStringLiteral("ab"));
        QTest::mouseClick(m_replace->BitBtn1, Qt::LeftButton);
        QCOMPARE(edit()->SelStart(), 11);
        QCOMPARE(selected(), QStringLiteral("ab"));
    });
}

QTEST_MAIN(tst_FindDialogs)
#include "tst_finddialogs.moc"
