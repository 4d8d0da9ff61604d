#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

// The editing short cuts of the editor's keys (prompt keys are driven in real runs elsewhere).
class tst_KeyboardControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void colourKeys_data();
    void colourKeys();
    void backgroundToggle();
    void fontSizeKeys();
    void fontListKeys();
    void rightIndentKeys();
    void escapeTypesNormallyWhenNotPrompting();

private:
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

void tst_KeyboardControl::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    m_form->show();
    m_form->RichEdit1->setPlainText(QStringLiteral("first line\nsecond line"));
    m_form->RichEdit2->setPlainText(QStringLiteral("first line\nsecond line"));
}

void tst_KeyboardControl::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

void tst_KeyboardControl::colourKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("colour");
    const int colours[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x008000, 0xFF0000, 0x000080, 0x800000, 0xFFFF00, 0x00FFFF};
    for (int d = 1; d <= 9; ++d)
        QTest::addRow("Ctrl+%d", d) << int(Qt::Key_0 + d) << colours[d - 1];
}

void tst_KeyboardControl::colourKeys()
{
    QFETCH(int, key);
    QFETCH(int, colour);
    m_form->RichEdit1->SetSelection(0, 5);
    m_form->RichEdit2->SetSelection(6, 4);
    QTest::keyClick(m_form->RichEdit1, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(m_form->RichEdit1->SelAttributes().Color, colour);
    QCOMPARE(m_form->RichEdit2->SelAttributes().Color, colour);
    QCOMPARE(m_form->RichEdit1->Text(), QStringLiteral("first line\nsecond line"));
}

void tst_KeyboardControl::backgroundToggle()
{
    QCOMPARE(m_form->RichEdit1->BackgroundColor(), 0);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(m_form->RichEdit1->BackgroundColor(), 0xFFFFFF);
    QCOMPARE(m_form->RichEdit2->BackgroundColor(), 0xFFFFFF);
    QCOMPARE(m_form->Panel1->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(m_form->Label1->palette().color(QPalette::WindowText), QColor(Qt::black));
    QTest::keyClick(m_form->RichEdit1, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(m_form->RichEdit1->BackgroundColor(), 0);
    QCOMPARE(m_form->Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
}

void tst_KeyboardControl::fontSizeKeys()
{
    m_form->fontsize->setText(QStringLiteral("40"));
    m_form->Prompt.SavedSelStart = 11;
    m_form->RichEdit1->SetSelection(3, 0);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("50"));
    m_form->RichEdit1->SetSelection(15, 2);
    QCOMPARE(m_form->RichEdit1->SelAttributes().Size, 50.0);
    m_form->RichEdit1->SetSelection(3, 0);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("40"));
    // The caret goes back to the start of the line it was on at the last clock tick.
    QCOMPARE(m_form->RichEdit1->SelStart(), 11);
    // A size box that holds no number counts as 0.
    m_form->fontsize->setText(QStringLiteral("big"));
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("10"));
}

void tst_KeyboardControl::fontListKeys()
{
    QComboBox *list = m_form->fontname;
    QVERIFY(list->count() > 2);
    list->setCurrentIndex(0);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(list->currentIndex(), 0); // the first font is applied again
    QCOMPARE(m_form->RichEdit1->Text(), QStringLiteral("first line\nsecond line"));
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(list->currentIndex(), 1);
    m_form->RichEdit1->SelectAll();
    QCOMPARE(m_form->RichEdit1->SelAttributes().Name, list->itemText(1));
    QVERIFY(m_form->RichEdit1->SelAttributes().ConsistentAttributes & TextAttributes::caFace);
    // Past the last font the list stays at its end.
    list->setCurrentIndex(list->count() - 1);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(list->currentIndex(), list->count() - 1);
}

void tst_KeyboardControl::rightIndentKeys()
{
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Left, Qt::AltModifier);
    m_form->RichEdit1->SetSelection(15, 0);
    QCOMPARE(qRound(m_form->RichEdit1->RightIndent()), 20);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Right, Qt::AltModifier);
    m_form->RichEdit1->SetSelection(2, 0);
    QCOMPARE(qRound(m_form->RichEdit1->RightIndent()), 10);
}

void tst_KeyboardControl::escapeTypesNormallyWhenNotPrompting()
{
    m_form->RichEdit1->SetSelection(0, 0);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_Escape);
    QTest::keyClick(m_form->RichEdit1, Qt::Key_5);
    QCOMPARE(m_form->RichEdit1->Text(), QStringLiteral("5first line\nsecond line"));
    QCOMPARE(m_form->Prompt.CurrentSpeed, 0);
}

QTEST_MAIN(tst_KeyboardControl)
#include "tst_keyboardcontrol.moc"
