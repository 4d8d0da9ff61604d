#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "formats/MarkerChars.h"
#include "editor/MarkerSearch.h"
#include "editor/MarkerSearchState.h"

#include <QAction>
#include <QtTest>

// Marker search rules, and the commands on a real window.
class tst_Markers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void search_data();
    void search();
    void foundPosIsRelativeToTheRest();
    void commandsOnTheWindow();
    void insertReplacesSelection();
};

namespace {

// A text of `length` dots with jump markers ("J") and error markers ("E") at the
// given 1-based positions, e.g. "J10 E30".
QString scriptWith(int length, const QString &markers)
{
    QString text(length, QLatin1Char('.'));
    for (const QString &m : markers.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        text[m.mid(1).toInt() - 1] = m.at(0) == QLatin1Char('J') ? JumpMarker : ErrorMarker;
    return text;
}

}

void tst_Markers::search_data()
{
    // steps: n = next jump, p = previous jump, e = next error, r = previous error.
    // expected: per step "selStart/MarkerPos", or "-/MarkerPos" when the selection stays.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("markerPos");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first jump marker after start") << scriptWith(40, "J5 J20") << 0 << "nn"
                                                   << "4/5 19/20";
    QTest::newRow("first character found from 0") << scriptWith(20, "J1 J8") << 0 << "n"
                                                  << "0/1";
    QTest::newRow("first character not found from 1") << scriptWith(20, "J1 J8") << 1 << "n"
                                                      << "7/8";
    QTest::newRow("next on last marker changes nothing") << scriptWith(20, "J5") << 5 << "nn"
                                                         << "-/5 -/5";
    QTest::newRow("previous on first marker goes to the top") << scriptWith(40, "J5 J20") << 5 << "pn"
                                                              << "0/1 4/5";
    QTest::newRow("previous from 0 does nothing") << scriptWith(20, "J5") << 0 << "p"
                                                  << "-/0";
    QTest::newRow("previous from 1 does nothing") << scriptWith(20, "J5") << 1 << "p"
                                                  << "-/1";
    QTest::newRow("previous from 2 goes to the top") << scriptWith(20, "J1") << 2 << "p"
                                                     << "0/1";
    QTest::newRow("previous walks back") << scriptWith(40, "J5 J12 J20") << 20 << "ppp"
                                         << "11/12 4/5 0/1";
    QTest::newRow("adjacent markers: next reaches both") << scriptWith(30, "J10 J11") << 0 << "nnn"
                                                         << "9/10 10/11 -/11";
    QTest::newRow("adjacent markers: previous skips the neighbour") << scriptWith(30, "J10 J11") << 11 << "p"
                                                                    << "0/1";
    QTest::newRow("adjacent markers: previous to an earlier one") << scriptWith(30, "J3 J10 J11") << 11 << "p"
                                                                  << "2/3";
    QTest::newRow("kinds share the position") << scriptWith(60, "J10 E30 J50") << 0 << "nen"
                                              << "9/10 29/30 49/50";
    QTest::newRow("previous error skips jump markers") << scriptWith(40, "E5 J10 E20") << 20 << "r"
                                                       << "4/5";
    QTest::newRow("next error with none") << scriptWith(40, "J5") << 0 << "e"
                                          << "-/0";
    QTest::newRow("position beyond the end") << scriptWith(20, "J5 J9") << 500 << "n"
                                             << "-/500";
    QTest::newRow("previous beyond the end searches everything") << scriptWith(20, "J5 J9") << 500 << "p"
                                                                 << "8/9";
    QTest::newRow("empty script") << QString() << 0 << "np"
                                  << "-/0 -/0";
    // U+0130 lower-cases to two characters in full case mapping; positions must not shift.
    QTest::newRow("case mapping keeps positions") << (QStringLiteral("\u0130\u0130ab") + JumpMarker) << 0 << "n"
                                                  << "4/5";
    QTest::newRow("lines count as one character") << (QStringLiteral("ab\ncd\n") + JumpMarker) << 0 << "n"
                                                  << "6/7";
}

void tst_Markers::search()
{
    QFETCH(QString, text);
    QFETCH(int, markerPos);
    QFETCH(QString, steps);
    QFETCH(QString, expected);

    MarkerSearchState state;
    state.MarkerPos = markerPos;
    QStringList got;
    for (QChar step : steps) {
        const bool jump = step == QLatin1Char('n') || step == QLatin1Char('p');
        const bool forward = step == QLatin1Char('n') || step == QLatin1Char('e');
        const QChar kind = jump ? JumpMarker : ErrorMarker;
        const auto sel = forward ? MarkerSearch::next(state, text, kind) : MarkerSearch::previous(state, text, kind);
        if (sel)
            QCOMPARE(sel->length, 1);
        got << (sel ? QString::number(sel->start) : QStringLiteral("-")) + QLatin1Char('/')
                + QString::number(state.MarkerPos);
    }
    QCOMPARE(got.join(QLatin1Char(' ')), expected);
}

void tst_Markers::foundPosIsRelativeToTheRest()
{
    // Find and replace read FoundPos as the last search left it.
    MarkerSearchState state;
    state.MarkerPos = 10;
    const QString text = scriptWith(30, "J10 J15");
    QVERIFY(MarkerSearch::next(state, text, JumpMarker));
    QCOMPARE(state.FoundPos, 5);
    QVERIFY(!MarkerSearch::next(state, text, JumpMarker));
    QCOMPARE(state.FoundPos, 0);
    state.FoundPos = 7;
    QVERIFY(MarkerSearch::previous(state, text, JumpMarker));
    QCOMPARE(state.FoundPos, 0);
}

void tst_Markers::commandsOnTheWindow()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TRichEdit *edit = form.RichEdit1;
    edit->setFocus();

    // Markers typed with the command, then stepped through with the keys.
    QTest::keyClicks(edit, QStringLiteral("one "));
    QTest::keyClick(edit, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral(" two "));
    QTest::keyClick(edit, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(edit->Text(), QStringLiteral("one \u00bb two \u00bb"));
    QCOMPARE(form.MarkerSearch.MarkerPos, 0);

    QTest::keyClick(edit, Qt::Key_F6);
    QCOMPARE(edit->SelStart(), 4);
    QCOMPARE(edit->SelLength(), 1);
    // The caret does not move the search: it goes on after the marker last reached.
    edit->SetSelection(0, 0);
    QTest::keyClick(edit, Qt::Key_F6);
    QCOMPARE(edit->SelStart(), 10);
    QCOMPARE(form.MarkerSearch.MarkerPos, 11);
    QTest::keyClick(edit, Qt::Key_F5);
    QCOMPARE(edit->SelStart(), 4);
    QCOMPARE(edit->SelLength(), 1);

    // Error markers are found with Ctrl+F6 and Ctrl+F5 only.
    edit->SetSelection(0, 0);
    edit->SetSelText(QString(ErrorMarker));
    form.MarkerSearch.MarkerPos = 0;
    QTest::keyClick(edit, Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(edit->SelStart(), 0);
    QTest::keyClick(edit, Qt::Key_F6);
    QCOMPARE(edit->SelStart(), 5);
    QTest::keyClick(edit, Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(edit->SelStart(), 5);
    QCOMPARE(form.MarkerSearch.MarkerPos, 6);
    QVERIFY(window.dialogs.errors.isEmpty());
}

void tst_Markers::insertReplacesSelection()
{
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *edit = form.RichEdit1;
    edit->setPlainText(QStringLiteral("alpha beta gamma"));
    edit->SetSelection(6, 4);
    edit->SetSelBold(true);
    form.MarkerSearch.MarkerPos = 3;
    form.Action(QStringLiteral("Marker1"))->trigger();
    QCOMPARE(edit->Text(), QStringLiteral("alpha \u00bb gamma"));
    QCOMPARE(form.MarkerSearch.MarkerPos, 3);
    // The marker takes the format of what it replaced.
    edit->SetSelection(6, 1);
    QVERIFY(edit->SelAttributes().Bold);
}

QTEST_MAIN(tst_Markers)
#include "tst_markers.moc"
