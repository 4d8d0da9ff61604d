#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"
#include "controls/WidgetColours.h"
#include "editor/ColourPalette.h"
#include "editor/Colours.h"
#include "editor/ScriptFiles.h"
#include "editor/TColorGrid.h"
#include "editor/Tcolorform.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

// The colour dialog, inverse video and the case command on a real window.
class tst_Colours : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void dialogLook();
    void gridChoice_data();
    void gridChoice();
    void radioMovesChosenCell_data();
    void radioMovesChosenCell();
    void inverse_data();
    void inverse();
    void inverseOfEmptyScript();
    void caseCommand_data();
    void caseCommand();
    void ctrlZeroSpreadsBackground();
    void undoGivesColoursBack_data();
    void undoGivesColoursBack();

private:
    // Opens the dialog with F4 and runs the steps while it is up; they end by closing it.
    void withDialog(const std::function<void()> &steps);
    // The script "one two three" with a colour for each word.
    void script(qint32 one, qint32 two, qint32 three, qint32 background);
    qint32 colourAt(int position) const;
    QString everything() const;
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    std::unique_ptr<Tcolorform> m_colours;
    TRichEdit *edit() const { return m_form->RichEdit1; }
};

namespace {

qint32 windowColour(const QWidget *widget)
{
    return TRichEdit::FromQColor(widget->palette().color(QPalette::Window));
}

qint32 arrowColour(const QLabel *label)
{
    return TRichEdit::FromQColor(label->palette().color(QPalette::WindowText));
}

}

void tst_Colours::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    m_colours = std::make_unique<Tcolorform>();
    m_form->ColourCommands->ColorForm = m_colours.get();
    m_form->show();
}

void tst_Colours::cleanup()
{
    m_form = nullptr;
    m_window.reset();
    m_colours.reset();
}

void tst_Colours::withDialog(const std::function<void()> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        ran = true;
        steps();
        if (m_colours->isVisible())
            m_colours->reject();
    });
    m_form->Action(QStringLiteral("BackgroundColor1"))->trigger();
    QVERIFY(ran);
    QVERIFY(!m_colours->isVisible());
}

void tst_Colours::script(qint32 one, qint32 two, qint32 three, qint32 background)
{
    edit()->setPlainText(QStringLiteral("one two three"));
    const qint32 colours[] = {one, two, three};
    const int starts[] = {0, 4, 8};
    const int lengths[] = {4, 4, 5};
    for (int i = 0; i < 3; ++i) {
        edit()->SetSelection(starts[i], lengths[i]);
        edit()->SetSelColor(colours[i]);
    }
    SetScriptBackground(m_form->Controls(), background);
}

qint32 tst_Colours::colourAt(int position) const
{
    return edit()->AttributesAt(position).Color;
}

// Every colour the commands touch, for comparing whole states.
QString tst_Colours::everything() const
{
    return QStringLiteral("editor %1, pane B %2, window %3, margin %4, arrow %5")
        .arg(edit()->BackgroundColor(), 6, 16, QLatin1Char('0'))
        .arg(m_form->RichEdit2->BackgroundColor(), 6, 16, QLatin1Char('0'))
        .arg(windowColour(m_form), 6, 16, QLatin1Char('0'))
        .arg(windowColour(m_form->Panel1), 6, 16, QLatin1Char('0'))
        .arg(arrowColour(m_form->Label1), 6, 16, QLatin1Char('0'));
}

static QString state(qint32 background, qint32 arrow)
{
    const QString b = QStringLiteral("%1").arg(background, 6, 16, QLatin1Char('0'));
    return QStringLiteral("editor %1, pane B %1, window %1, margin %1, arrow %2")
        .arg(b)
        .arg(arrow, 6, 16, QLatin1Char('0'));
}

void tst_Colours::dialogLook()
{
    Tcolorform &d = *m_colours;
    QCOMPARE(d.windowTitle(), QStringLiteral("Colours"));
    QCOMPARE(d.size(), QSize(351, 214));
    QCOMPARE(d.ColorGrid1->size(), QSize(176, 152));
    QCOMPARE(d.RadioButton1->text(), QStringLiteral("Text Colour"));
    QCOMPARE(d.RadioButton3->text(), QStringLiteral("Background Colour"));
    QCOMPARE(d.Button1->text(), QStringLiteral("Invert"));
    QVERIFY(d.RadioButton1->isChecked());
    QCOMPARE(d.ColorGrid1->ForegroundIndex(), 0);
    QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
    // Cells are filled row by row: cell 6 is the third of the second row.
    QCOMPARE(d.ColorGrid1->CellRect(6).topLeft(), QPoint(2 * 176 / 4, 152 / 4));
    const QImage picture = d.ColorGrid1->grab().toImage();
    for (int cell = 0; cell < 16; ++cell) {
        const QPoint corner = d.ColorGrid1->CellRect(cell).topLeft() + QPoint(3, 3);
        if (cell != d.ColorGrid1->ForegroundIndex())
            QCOMPARE(TRichEdit::FromQColor(picture.pixelColor(corner)), PaletteColours[cell]);
    }
}

void tst_Colours::gridChoice_data()
{
    QTest::addColumn<qint32>("backgroundBefore");
    QTest::addColumn<bool>("forBackground");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qint32>("selectionColour");

    QTest::newRow("background blue") << 0x000000 << true << 12 << state(0xFF0000, 0x000000) << 0xFFFFFF;
    QTest::newRow("background black") << 0xFFFFFF << true << 0 << state(0x000000, 0xFFFFFF) << 0xFFFFFF;
    QTest::newRow("background silver") << 0x000000 << true << 8 << state(0xC0C0C0, 0x000000) << 0xFFFFFF;
    QTest::newRow("text red") << 0x000000 << false << 9 << state(0x000000, 0xFFFFFF) << 0x0000FF;
    QTest::newRow("text teal on white") << 0xFFFFFF << false << 6 << state(0xFFFFFF, 0x000000) << 0x808000;
}

void tst_Colours::gridChoice()
{
    QFETCH(qint32, backgroundBefore);
    QFETCH(bool, forBackground);
    QFETCH(int, cell);
    QFETCH(QString, expected);
    QFETCH(qint32, selectionColour);

    script(0xFFFFFF, 0xFFFFFF, 0xFFFFFF, backgroundBefore);
    edit()->SetSelection(4, 3);
    QString whileOpen;
    withDialog([&] {
        if (forBackground)
            QTest::mouseClick(m_colours->RadioButton3, Qt::LeftButton);
        QTest::mouseClick(m_colours->ColorGrid1, Qt::LeftButton, {}, m_colours->ColorGrid1->CellRect(cell).center());
        QCOMPARE(m_colours->ColorGrid1->ForegroundIndex(), cell);
        whileOpen = everything();
        QTest::mouseClick(m_colours->BitBtn2, Qt::LeftButton);
    });
    QCOMPARE(whileOpen, expected);
    // Cancel undoes nothing.
    QCOMPARE(edit()->BackgroundColor(), forBackground ? PaletteColours[cell] : backgroundBefore);
    QCOMPARE(windowColour(m_form->Panel1), edit()->BackgroundColor());
    QCOMPARE(colourAt(4), selectionColour);
    QCOMPARE(colourAt(0), 0xFFFFFF);
    // The dialog keeps its choices for the next time.
    QCOMPARE(m_colours->ColorGrid1->ForegroundIndex(), cell);
    QCOMPARE(m_colours->RadioButton3->isChecked(), forBackground);
}

void tst_Colours::radioMovesChosenCell_data()
{
    QTest::addColumn<qint32>("background");
    QTest::addColumn<qint32>("baseText");
    QTest::addColumn<int>("cellForBackground");
    QTest::addColumn<int>("cellForText");
    QTest::addColumn<qint32>("selectionAfter");

    // Back on "Text Colour", the cell moves to the base colour and recolours the selection.
    QTest::newRow("blue background, white text") << 0xFF0000 << 0xFFFFFF << 12 << 15 << 0xFFFFFF;
    QTest::newRow("colours outside the palette") << 0x123456 << 0x654321 << 3 << 3 << 0x008080;
    QTest::newRow("same cell for both") << 0x00FFFF << 0x00FFFF << 11 << 11 << 0x008080;
}

void tst_Colours::radioMovesChosenCell()
{
    QFETCH(qint32, background);
    QFETCH(qint32, baseText);
    QFETCH(int, cellForBackground);
    QFETCH(int, cellForText);
    QFETCH(qint32, selectionAfter);

    script(0xFFFFFF, 0xFFFFFF, 0xFFFFFF, background);
    SetPaletteColour(edit(), QPalette::Text, baseText);
    edit()->SetSelection(4, 3);
    withDialog([&] {
        // Olive text first, so that a move of the cell shows in the selection.
        QTest::mouseClick(m_colours->ColorGrid1, Qt::LeftButton, {}, m_colours->ColorGrid1->CellRect(3).center());
        QCOMPARE(colourAt(4), 0x008080);
        QTest::mouseClick(m_colours->RadioButton3, Qt::LeftButton);
        QCOMPARE(m_colours->ColorGrid1->ForegroundIndex(), cellForBackground);
        QCOMPARE(edit()->BackgroundColor(), background);
        QTest::mouseClick(m_colours->RadioButton1, Qt::LeftButton);
        QCOMPARE(m_colours->ColorGrid1->ForegroundIndex(), cellForText);
        QCOMPARE(colourAt(4), selectionAfter);
        QTest::mouseClick(m_colours->BitBtn1, Qt::LeftButton);
    });
}

void tst_Colours::inverse_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<qint32>>("words");
    QTest::addColumn<qint32>("background");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qint32>("textAfter");

    const QList<qint32> white{0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    QTest::newRow("white on black, tool button")
        << QStringLiteral("SpeedButton20") << white << 0x000000 << 5 << state(0xFFFFFF, 0x000000) << 0x000000;
    QTest::newRow("caret in red on black, menu")
        << QStringLiteral("Inverse1") << QList<qint32>{0xFFFFFF, 0x0000FF, 0x00FF00} << 0x000000 << 6
        << state(0x0000FF, 0x000000) << 0x000000;
    QTest::newRow("caret in green on blue, dialog")
        << QStringLiteral("Button1") << QList<qint32>{0xFFFFFF, 0x0000FF, 0x00FF00} << 0xFF0000 << 10
        << state(0x00FF00, 0xFF0000) << 0xFF0000;
    QTest::newRow("black on black: white arrow") << QStringLiteral("SpeedButton20") << QList<qint32>{0, 0, 0}
                                                 << 0x000000 << 2 << state(0x000000, 0xFFFFFF) << 0x000000;
    QTest::newRow("white on white: black arrow")
        << QStringLiteral("Inverse1") << white << 0xFFFFFF << 2 << state(0xFFFFFF, 0x000000) << 0xFFFFFF;
}

void tst_Colours::inverse()
{
    QFETCH(QString, command);
    QFETCH(QList<qint32>, words);
    QFETCH(qint32, background);
    QFETCH(int, caret);
    QFETCH(QString, expected);
    QFETCH(qint32, textAfter);

    script(words.at(0), words.at(1), words.at(2), background);
    edit()->SetSelection(caret, 0);
    QString after;
    if (command == QLatin1String("Button1")) {
        // Checked while the dialog is up: coming back to the main window makes it black.
        withDialog([&] {
            QTest::mouseClick(m_colours->Button1, Qt::LeftButton);
            after = everything();
            QTest::mouseClick(m_colours->BitBtn1, Qt::LeftButton);
        });
    } else {
        if (QAction *action = m_form->Action(command))
            action->trigger();
        else
            m_form->ToolBar1->findChild<QToolButton *>(command)->click();
        after = everything();
    }
    QCOMPARE(after, expected);
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    edit()->SelectAll();
    const TextAttributes all = edit()->SelAttributes();
    QCOMPARE(all.Color, textAfter);
    QVERIFY(all.ConsistentAttributes & TextAttributes::caColor);
    edit()->SetSelection(0, 0);
}

void tst_Colours::inverseOfEmptyScript()
{
    m_form->Files->FileNew();
    m_form->Action(QStringLiteral("Inverse1"))->trigger();
    QCOMPARE(everything(), state(0xFFFFFF, 0x000000));
    // What is typed next is readable on the new background.
    QTest::keyClicks(edit(), QStringLiteral("x"));
    QCOMPARE(edit()->Text(), QStringLiteral("x"));
    QCOMPARE(colourAt(0), 0x000000);
}

void tst_Colours::caseCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caret");

    const QString menu = QStringLiteral("UpperLowercase1");
    const QString button = QStringLiteral("SpeedButton7");
    QTest::newRow("Hello world") << button << QStringLiteral("Hello world!") << 0 << 11
                                 << QStringLiteral("HELLO WORLD!") << 11;
    QTest::newRow("HELLO") << menu << QStringLiteral("say HELLO") << 4 << 5 << QStringLiteral("say hello") << 9;
    QTest::newRow("a") << button << QStringLiteral("a b") << 0 << 1 << QStringLiteral("A b") << 1;
    QTest::newRow("1. item") << menu << QStringLiteral("1. item") << 0 << 7 << QStringLiteral("1. ITEM") << 7;
    QTest::newRow("question mark") << button << QStringLiteral("A?BC") << 0 << 4 << QStringLiteral("a?bc") << 4;
    QTest::newRow("across paragraphs") << menu << QStringLiteral("ab\ncd") << 1 << 3 << QStringLiteral("aB\nCd") << 4;
    QTest::newRow("nothing selected") << button << QStringLiteral("hello") << 2 << 0 << QStringLiteral("hello") << 2;
}

void tst_Colours::caseCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, expected);
    QFETCH(int, caret);

    edit()->setPlainText(text);
    // The selection's first character is bold and red: all of the new text takes that.
    edit()->SetSelection(start, 1);
    edit()->SetSelBold(true);
    edit()->SetSelColor(0x0000FF);
    edit()->SetSelection(start, length);
    if (QAction *action = m_form->Action(command))
        action->trigger();
    else
        m_form->ToolBar1->findChild<QToolButton *>(command)->click();
    QCOMPARE(edit()->Text(), expected);
    QCOMPARE(edit()->SelStart(), caret);
    QCOMPARE(edit()->SelLength(), 0);
    if (length > 1) {
        edit()->SetSelection(start, length);
        const TextAttributes a = edit()->SelAttributes();
        QVERIFY(a.Bold);
        QCOMPARE(a.Color, 0x0000FF);
        QVERIFY(a.ConsistentAttributes & TextAttributes::caBold);
    }
}

void tst_Colours::ctrlZeroSpreadsBackground()
{
    script(0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x000000);
    edit()->setFocus();
    QTest::keyClick(edit(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(everything(), state(0xFFFFFF, 0x000000));
    QTest::keyClick(edit(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(everything(), state(0x000000, 0xFFFFFF));
}

namespace {

// The colours the editor shows, from its pixels: the most common one (the background) and
// the most common of the rest (the text).
std::pair<QRgb, QRgb> shownColours(QWidget *viewport)
{
    const QImage image = viewport->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) & 0xFFFFFF];
    QRgb first = 0, second = 0;
    int firstCount = -1, secondCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > firstCount) {
            second = first;
            secondCount = firstCount;
            first = it.key();
            firstCount = it.value();
        } else if (it.value() > secondCount) {
            second = it.key();
            secondCount = it.value();
        }
    }
    return {first, second};
}

}

void tst_Colours::undoGivesColoursBack_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("inverse") << QStringLiteral("Inverse1");
    QTest::newRow("background colour") << QStringLiteral("background");
    QTest::newRow("text colour") << QStringLiteral("text");
}

// Undo takes back the colour command as one step: text, background, pane B, margin and
// arrow together, so that the text never sits invisible on its own colour. Redo repeats it.
void tst_Colours::undoGivesColoursBack()
{
    QFETCH(QString, command);
    edit()->SetBaseFont(QStringLiteral("Arial"), 40, 0xFFFFFF);
    script(0x0000FF, 0x0000FF, 0x0000FF, 0x000000);
    edit()->SetSelection(2, 0);
    edit()->document()->clearUndoRedoStacks();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    const QString before = everything();
    const auto shownBefore = shownColours(edit()->viewport());
    QCOMPARE(shownBefore.first, QColor(Qt::black).rgb() & 0xFFFFFF);
    QCOMPARE(shownBefore.second, QColor(Qt::red).rgb() & 0xFFFFFF);

    if (command == QLatin1String("Inverse1"))
        m_form->Action(command)->trigger();
    else if (command == QLatin1String("text")) {
        edit()->SetSelection(0, 3);
        m_form->ColourCommands->ChooseColour(0xFF0000, true);
        QCOMPARE(colourAt(0), 0xFF0000);
        // The pixels compared are of the text, not of a selection's highlight.
        edit()->SetSelection(2, 0);
    } else {
        m_form->ColourCommands->ChooseColour(0xFF0000, false);
    }
    const QString after = everything();
    QVERIFY(after != before || command == QLatin1String("text"));
    const auto shownAfter = shownColours(edit()->viewport());

    m_form->Action(QStringLiteral("EditUndoItem"))->trigger();
    QCOMPARE(everything(), before);
    QCOMPARE(shownColours(edit()->viewport()), shownBefore);
    for (int position : {0, 5, 10})
        QCOMPARE(colourAt(position), 0x0000FF);

    m_form->Action(QStringLiteral("EditRedoItem"))->trigger();
    QCOMPARE(everything(), after);
    QCOMPARE(shownColours(edit()->viewport()), shownAfter);
}

QTEST_MAIN(tst_Colours)
#include "tst_colours.moc"
