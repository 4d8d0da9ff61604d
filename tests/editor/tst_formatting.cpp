#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "controls/TUpDown.h"
#include "editor/Formatting.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QtMath>
#include <QToolButton>
#include <QtTest>

// The format tool bar and menu on a real window.
class tst_Formatting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void toolbarFollowsSelection_data();
    void toolbarFollowsSelection();
    void styleOnSelectedWord_data();
    void styleOnSelectedWord();
    void styleKeyTwiceWithoutSelection_data();
    void styleKeyTwiceWithoutSelection();
    void fontNameAppliesToWholeScript();
    void fontSize_data();
    void fontSize();
    void upDownStepsAndApplies();
    void enterInSizeBoxReturnsFocus();
    void alignmentAndBullets();
    void bulletsReadAtSelectionStart_data();
    void bulletsReadAtSelectionStart();
    void bulletsFollowTextSize_data();
    void bulletsFollowTextSize();
    void parseFontSize_data();
    void parseFontSize();

private:
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    TRichEdit *edit() const { return m_form->RichEdit1; }
};

namespace {

// Three runs on one line: "Bold " bold Times 20, "plain " Arial 30, "under" underlined italic Courier 14.
void fillSample(TRichEdit *edit)
{
    edit->clear();
    QTextCursor c(edit->document());
    auto run = [&c](const QString &text, const QString &face, int size, bool bold, bool italic, bool underline) {
        QTextCharFormat f;
        f.setFontFamilies({face});
        f.setFontPointSize(size);
        f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(italic);
        f.setFontUnderline(underline);
        c.insertText(text, f);
    };
    run(QStringLiteral("Bold "), QStringLiteral("Liberation Serif"), 20, true, false, false);
    run(QStringLiteral("plain "), QStringLiteral("Liberation Sans"), 30, false, false, false);
    run(QStringLiteral("under"), QStringLiteral("Liberation Mono"), 14, false, true, true);
    edit->SetModified(false);
}

// Each character's format, compactly, to see what an operation changed.
QString formats(const QTextDocument *doc)
{
    QStringList out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            out << QStringLiteral("%1:%2/%3%4%5%6")
                       .arg(it.fragment().text(), f.fontFamilies().toStringList().value(0))
                       .arg(f.fontPointSize())
                       .arg(f.fontWeight() > QFont::Normal ? "b" : "")
                       .arg(f.fontItalic() ? "i" : "")
                       .arg(f.fontUnderline() ? "u" : "");
        }
    }
    return out.join(QLatin1Char(' '));
}

QSet<qreal> sizesOf(const QTextDocument *doc)
{
    QSet<qreal> sizes;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            sizes << it.fragment().charFormat().fontPointSize();
    return sizes;
}

}

void tst_Formatting::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    QVERIFY(m_window->activate());
    edit()->setFocus();
}

void tst_Formatting::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

void tst_Formatting::toolbarFollowsSelection_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("shown"); // face size and the B, I, U buttons that are down
    QTest::newRow("in bold") << 2 << 0 << "Liberation Serif 20 B";
    QTest::newRow("in plain") << 8 << 0 << "Liberation Sans 30 ";
    QTest::newRow("in underlined italic") << 13 << 0 << "Liberation Mono 14 IU";
    QTest::newRow("selection in plain") << 6 << 4 << "Liberation Sans 30 ";
    QTest::newRow("selection from bold") << 1 << 8 << "Liberation Serif 20 B";
}

void tst_Formatting::toolbarFollowsSelection()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, shown);
    fillSample(edit());
    const QString before = formats(edit()->document());
    edit()->SetSelection(2, 0); // from bold text first, so every button has something to follow
    edit()->SetSelection(start, length);

    QString got = m_form->fontname->currentText() + QLatin1Char(' ') + m_form->fontsize->text() + QLatin1Char(' ');
    got += m_form->BoldButton->isChecked() ? "B" : "";
    got += m_form->ItalicButton->isChecked() ? "I" : "";
    got += m_form->UnderlineButton->isChecked() ? "U" : "";
    QCOMPARE(got, shown);
    QCOMPARE(m_form->fontname->currentIndex(), m_form->fontname->findText(m_form->fontname->currentText()));
    // Showing the format changes nothing in the script.
    QCOMPARE(formats(edit()->document()), before);
    QVERIFY(!edit()->Modified());
    QVERIFY(!m_form->Format->SyncingToolbar);
}

void tst_Formatting::styleOnSelectedWord_data()
{
    QTest::addColumn<QString>("how"); // a button's name, or a menu key
    QTest::addColumn<QString>("expected");
    const QString rest = QStringLiteral("under:Liberation Mono/14iu");
    QTest::newRow("bold button") << "BoldButton"
                                 << "Bold :Liberation Serif/20b plain:Liberation Sans/30b  :Liberation Sans/30 " + rest;
    QTest::newRow("italic button") << "ItalicButton"
                                   << "Bold :Liberation Serif/20b plain:Liberation Sans/30i  :Liberation Sans/30 "
            + rest;
    QTest::newRow("underline button") << "UnderlineButton"
                                      << "Bold :Liberation Serif/20b plain:Liberation Sans/30u  :Liberation Sans/30 "
            + rest;
    QTest::newRow("Ctrl+B") << "B"
                            << "Bold :Liberation Serif/20b plain:Liberation Sans/30b  :Liberation Sans/30 " + rest;
    QTest::newRow("Ctrl+I") << "I"
                            << "Bold :Liberation Serif/20b plain:Liberation Sans/30i  :Liberation Sans/30 " + rest;
    QTest::newRow("Ctrl+U") << "U"
                            << "Bold :Liberation Serif/20b plain:Liberation Sans/30u  :Liberation Sans/30 " + rest;
}

void tst_Formatting::styleOnSelectedWord()
{
    QFETCH(QString, how);
    QFETCH(QString, expected);
    fillSample(edit());
    edit()->SetSelection(5, 5); // "plain"
    if (how.size() == 1) {
        QTest::keyClick(edit(), how.at(0).toLatin1(), Qt::ControlModifier);
    } else {
        m_form->fontsize->setFocus(); // the button hands the focus back to the editor
        QTest::mouseClick(m_form->findChild<QToolButton *>(how), Qt::LeftButton);
    }
    QCOMPARE(formats(edit()->document()), expected);
    QCOMPARE(edit()->SelStart(), 5);
    QCOMPARE(edit()->SelLength(), 0);
    QVERIFY(edit()->hasFocus());
}

void tst_Formatting::styleKeyTwiceWithoutSelection_data()
{
    QTest::addColumn<char>("key");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Ctrl+B") << 'B' << "BoldButton"
                            << "x:Liberation Sans/30b y:Liberation Sans/30";
    QTest::newRow("Ctrl+I") << 'I' << "ItalicButton"
                            << "x:Liberation Sans/30i y:Liberation Sans/30";
    QTest::newRow("Ctrl+U") << 'U' << "UnderlineButton"
                            << "x:Liberation Sans/30u y:Liberation Sans/30";
}

void tst_Formatting::styleKeyTwiceWithoutSelection()
{
    QFETCH(char, key);
    QFETCH(QString, button);
    QFETCH(QString, expected);
    edit()->clear();
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Liberation Sans")});
    f.setFontPointSize(30);
    edit()->setCurrentCharFormat(f);
    auto *toggle = m_form->findChild<QToolButton *>(button);

    QTest::keyClick(edit(), key, Qt::ControlModifier);
    QVERIFY(toggle->isChecked());
    QTest::keyClicks(edit(), QStringLiteral("x"));
    QVERIFY(toggle->isChecked());
    QTest::keyClick(edit(), key, Qt::ControlModifier);
    QVERIFY(!toggle->isChecked());
    QTest::keyClicks(edit(), QStringLiteral("y"));
    QVERIFY(!toggle->isChecked());
    QCOMPARE(formats(edit()->document()), expected);
}

void tst_Formatting::fontNameAppliesToWholeScript()
{
    QComboBox *box = m_form->fontname;
    QVERIFY(box->count() > 3);
    // Filling the list at start-up chose no face for the script.
    QCOMPARE(edit()->SelAttributes().Name, QStringLiteral("Arial"));
    QCOMPARE(box->currentText(), QStringLiteral("Arial"));
    QStringList names;
    for (int i = 0; i < box->count(); ++i)
        names << box->itemText(i);
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(names, sorted);

    fillSample(edit());
    edit()->SetSelection(5, 5);
    m_form->fontsize->setFocus();
    box->setCurrentIndex(box->findText(QStringLiteral("DejaVu Serif")));
    QCOMPARE(formats(edit()->document()), "Bold :DejaVu Serif/20b plain :DejaVu Serif/30 under:DejaVu Serif/14iu");
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    QVERIFY(edit()->hasFocus());
    QCOMPARE(box->currentText(), QStringLiteral("DejaVu Serif"));

    // A typed name changes nothing until it is confirmed with Enter.
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("Liberation Mono"));
    QVERIFY(formats(edit()->document()).contains(QStringLiteral("DejaVu Serif")));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(formats(edit()->document()),
             "Bold :Liberation Mono/20b plain :Liberation Mono/30 under:Liberation Mono/14iu");

    // A name that is no entry is ignored, Enter or not.
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("No Such Face"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QVERIFY(!formats(edit()->document()).contains(QStringLiteral("No Such")));
}

void tst_Formatting::fontSize_data()
{
    QTest::addColumn<QString>("typed"); // typed into the emptied box, one key at a time
    QTest::addColumn<QList<qreal>>("sizes");
    QTest::addColumn<qreal>("baseSize");
    const qreal untouched = -1;
    QTest::newRow("72") << "72" << QList<qreal>{72} << untouched;
    QTest::newRow("blank and sign") << " +24" << QList<qreal>{24} << untouched;
    QTest::newRow("empty") << "" << QList<qreal>{14, 20, 30} << qreal(60);
    QTest::newRow("not a number") << "x1" << QList<qreal>{14, 20, 30} << qreal(60);
    QTest::newRow("trailing blank") << "12 " << QList<qreal>{12} << qreal(60);
    QTest::newRow("huge") << "99999" << QList<qreal>{Formatting::MaxFontSize} << untouched;
}

void tst_Formatting::fontSize()
{
    QFETCH(QString, typed);
    QFETCH(QList<qreal>, sizes);
    QFETCH(qreal, baseSize);
    fillSample(edit());
    edit()->SetSelection(3, 4);
    QLineEdit *box = m_form->fontsize;
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, typed);

    // Every change applied at once, to the whole script, and the box keeps what was typed.
    QCOMPARE(box->text(), typed);
    QList<qreal> got = sizesOf(edit()->document()).values();
    std::sort(got.begin(), got.end());
    QCOMPARE(got, sizes);
    if (baseSize > 0)
        QCOMPARE(edit()->document()->defaultFont().pointSizeF(), baseSize);
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    QVERIFY(box->hasFocus());
}

void tst_Formatting::upDownStepsAndApplies()
{
    fillSample(edit());
    edit()->SetSelection(8, 0); // 30 points
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("30"));
    auto *up = m_form->UpDown1->findChild<QToolButton *>(QStringLiteral("UpDown1Up"));
    auto *down = m_form->UpDown1->findChild<QToolButton *>(QStringLiteral("UpDown1Down"));
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("40"));
    QCOMPARE(sizesOf(edit()->document()), QSet<qreal>{40});
    for (int i = 0; i < 8; ++i)
        QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("100"));
    QCOMPARE(sizesOf(edit()->document()), QSet<qreal>{100});
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(sizesOf(edit()->document()), QSet<qreal>{90});
    // The arrow keys in the box step it too.
    m_form->fontsize->setFocus();
    QTest::keyClick(m_form->fontsize, Qt::Key_Down);
    QCOMPARE(sizesOf(edit()->document()), QSet<qreal>{80});
}

void tst_Formatting::enterInSizeBoxReturnsFocus()
{
    fillSample(edit());
    m_form->fontsize->setFocus();
    QTest::keyPress(m_form->fontsize, Qt::Key_Return);
    QVERIFY(m_form->fontsize->hasFocus());
    QTest::keyRelease(m_form->fontsize, Qt::Key_Return);
    QVERIFY(edit()->hasFocus());
    QVERIFY(!edit()->Modified());
}

void tst_Formatting::alignmentAndBullets()
{
    edit()->setPlainText(QStringLiteral("one\ntwo\nthree"));
    edit()->SetSelection(5, 0); // "two"
    const auto firstAlignment = edit()->document()->findBlockByNumber(0).blockFormat().alignment();
    const struct
    {
        const char *action;
        Qt::Alignment alignment;
    } steps[] = {{"AlignRight1", Qt::AlignRight}, {"AlignCentre1", Qt::AlignHCenter}, {"AlignLeft1", Qt::AlignLeft}};
    for (const auto &s : steps) {
        m_form->Action(QString::fromLatin1(s.action))->trigger();
        QCOMPARE(edit()->ParagraphAlignment(), s.alignment);
        QCOMPARE(edit()->document()->findBlockByNumber(0).blockFormat().alignment(), firstAlignment);
    }

    QAction *bullets = m_form->Action(QStringLiteral("Bullets2"));
    bullets->trigger();
    QVERIFY(edit()->document()->findBlockByNumber(1).textList());
    QVERIFY(!edit()->document()->findBlockByNumber(0).textList());
    bullets->trigger();
    QVERIFY(!edit()->document()->findBlockByNumber(1).textList());
    // Over two paragraphs, the first of them bulleted: both lose bullets, get them, lose them.
    bullets->trigger();
    edit()->SetSelection(5, 5);
    for (bool expected : {false, true, false}) {
        bullets->trigger();
        for (int b = 1; b < 3; ++b)
            QCOMPARE(edit()->document()->findBlockByNumber(b).textList() != nullptr, expected);
    }
    QCOMPARE(edit()->Text(), QStringLiteral("one\ntwo\nthree"));
}

void tst_Formatting::bulletsReadAtSelectionStart_data()
{
    QTest::addColumn<bool>("upward");
    QTest::newRow("selected downward") << false;
    QTest::newRow("selected upward") << true;
}

// Bullets on/off asks the paragraph where the selection starts, whichever way the
// selection was made: over "one" (bulleted), "two", "three" both directions remove them.
void tst_Formatting::bulletsReadAtSelectionStart()
{
    QFETCH(bool, upward);
    edit()->setPlainText(QStringLiteral("one\ntwo\nthree"));
    edit()->SetSelection(0, 0);
    m_form->Action(QStringLiteral("Bullets2"))->trigger();
    QVERIFY(edit()->document()->firstBlock().textList());
    QTextCursor c = edit()->textCursor();
    const int end = edit()->document()->characterCount() - 1;
    c.setPosition(upward ? end : 0);
    c.setPosition(upward ? 0 : end, QTextCursor::KeepAnchor);
    edit()->setTextCursor(c);
    m_form->Action(QStringLiteral("Bullets2"))->trigger();
    for (QTextBlock b = edit()->document()->begin(); b.isValid(); b = b.next())
        QVERIFY2(!b.textList(), qPrintable(b.text()));
}

void tst_Formatting::bulletsFollowTextSize_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("12 pt") << 12;
    QTest::newRow("60 pt") << 60;
    QTest::newRow("72 pt") << 72;
}

// The bullet is drawn whole, inside the editor, beside the first line of its paragraph
// and at the size of the paragraph's text, whatever size the paragraph mark has.
void tst_Formatting::bulletsFollowTextSize()
{
    QFETCH(int, points);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    edit()->setPlainText(QStringLiteral("one\ntwo\nthree"));
    edit()->SelectAll();
    edit()->SetSelColor(0xFFFFFF);
    edit()->SetSelSize(points);
    edit()->SetBullets(true);
    edit()->SetSelection(0, 0);
    QCoreApplication::processEvents();

    const QImage image = edit()->viewport()->grab().toImage();
    const QTextLayout *first = edit()->document()->firstBlock().layout();
    const int textLeft = qFloor(first->lineAt(0).naturalTextRect().left());
    const int lineBottom = qCeil(first->lineAt(0).height());
    QVERIFY(textLeft > 0);
    int minX = image.width(), minY = image.height(), maxY = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < textLeft - 1; ++x)
            if (qGray(image.pixel(x, y)) > 128) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                break;
            }
    QVERIFY2(maxY >= 0, "no bullet drawn");
    QVERIFY2(minX > 0, qPrintable(QStringLiteral("bullet cut at the left edge (x %1)").arg(minX)));
    // The first bullet sits wholly beside the first line, at the text's size: clear of the
    // line's top and bottom, and no taller than half the line.
    int firstBottom = -1;
    for (int y = minY; y < lineBottom; ++y)
        for (int x = 0; x < textLeft - 1; ++x)
            if (qGray(image.pixel(x, y)) > 128)
                firstBottom = y;
    QVERIFY2(minY > 0 && firstBottom < lineBottom - 1 && firstBottom - minY < lineBottom / 2,
             qPrintable(QStringLiteral("bullet %1 to %2, line 0 to %3").arg(minY).arg(firstBottom).arg(lineBottom)));
    const int lastBulletBottom = edit()->LineTop(2) + lineBottom;
    QVERIFY(maxY < lastBulletBottom);
}

void tst_Formatting::parseFontSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("points");
    QTest::newRow("plain") << "48" << true << 48;
    QTest::newRow("leading blanks") << "  48" << true << 48;
    QTest::newRow("signs") << "-5" << true << -5;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("trailing blank") << "48 " << false << 0;
    QTest::newRow("decimal") << "4.5" << false << 0;
    QTest::newRow("too big for 32 bits") << "3000000000" << false << 0;
    QTest::newRow("other digits") << "\u0664\u0662" << false << 0;
}

void tst_Formatting::parseFontSize()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, points);
    int got = 0;
    QCOMPARE(Formatting::ParseFontSize(text, &got), ok);
    QCOMPARE(got, points);
}

QTEST_MAIN(tst_Formatting)
#include "tst_formatting.moc"
