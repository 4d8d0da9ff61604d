#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "formats/ScriptDocumentIO.h"
#include "help/HelpCommands.h"
#include "help/HelpTopics.h"
#include "help/TAboutBox.h"
#include "help/Thelpform.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

// The Help menu on a real main window with a help viewer of the test's own.
class tst_HelpViewer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void viewerLook();
    void topicsLandAtTheirHeadings_data();
    void topicsLandAtTheirHeadings();
    void escapeHidesAndTopicShowsAgain();
    void missingFileMessage();
    void documentLookedForHereThenInstalled_data();
    void documentLookedForHereThenInstalled();
    void activationReadsChangedFile();
    void aboutBoxCloses_data();
    void aboutBoxCloses();
    void shippedDocumentHeadings();
    void shippedDocumentListsEveryKey();

private:
    void useDocument(const QString &fixture);
    void trigger(const char *item) { m_form->Action(QString::fromLatin1(item))->trigger(); }
    static QString shippedDocumentPath();
    std::unique_ptr<QTemporaryDir> m_data; // stands for the installed data folders
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    std::unique_ptr<Thelpform> m_viewer;
    TRichEdit *text() const { return m_viewer->RichEdit1; }
};

void tst_HelpViewer::init()
{
    m_window = std::make_unique<TestWindow>();
    // An installed copy on this machine must not answer for the test's own.
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_data->path()).mkpath(QStringLiteral("system/corvanta")));
    qputenv("XDG_DATA_HOME", m_data->filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_data->filePath(QStringLiteral("system")).toLocal8Bit());
    // The program's name names its data folders.
    TMainForm::PrepareApplication();
    m_form = &m_window->open();
    m_viewer = std::make_unique<Thelpform>();
    m_form->Help->Viewer = m_viewer.get();
    m_viewer->Guard = [this](const std::function<void()> &handler) { m_form->Guard().run(handler); };
    m_form->show();
}

void tst_HelpViewer::cleanup()
{
    m_viewer.reset();
    m_form = nullptr;
    m_window.reset();
    m_data.reset();
}

void tst_HelpViewer::useDocument(const QString &fixture)
{
    QFile::remove(m_window->dir.file(QStringLiteral("help.rtf")));
    QVERIFY(QFile::copy(fixture, m_window->dir.file(QStringLiteral("help.rtf"))));
}

QString tst_HelpViewer::shippedDocumentPath()
{
    return QStringLiteral(CORVANTA_TEST_FIXTURES "/../../resources/help.rtf");
}

const QString TopicsFixture = QStringLiteral(CORVANTA_TEST_FIXTURES "/help/topics.rtf");

void tst_HelpViewer::viewerLook()
{
    QCOMPARE(m_viewer->windowTitle(), QStringLiteral("Help!"));
    QCOMPARE(m_viewer->size(), QSize(543, 348));
    QVERIFY(m_viewer->isWindow());
    QVERIFY(text()->isReadOnly());
    QCOMPARE(text()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text()->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
}

void tst_HelpViewer::topicsLandAtTheirHeadings_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("paragraph"); // where the caret lands, after the first character
    QTest::addColumn<int>("extraLines");
    QTest::addColumn<bool>("inView");
    QTest::newRow("Introduction, F1") << "Introduction1"
                                      << "Introduction" << 0 << true;
    QTest::newRow("Setting up: its first place is the contents") << "Settingup1"
                                                                 << "Setting up ........ further down" << 6 << false;
    QTest::newRow("Open a script") << "Openascript1"
                                   << "Opening a script" << 6 << true;
    QTest::newRow("Save a script") << "HelpSearchItem"
                                   << "Saving a script" << 6 << true;
    QTest::newRow("Keyboard Shortcuts") << "KeyboardShortcuts1"
                                        << "Keyboard shortcuts" << 6 << true;
    QTest::newRow("Cut, Copy and paste") << "CutCopyandpaste1"
                                         << "Cut, copy and paste" << 6 << true;
    QTest::newRow("Find and replace looks for Find, replace") << "Searchandreplace1"
                                                              << "Find, replace" << 6 << true;
    QTest::newRow("Performance tuning") << "Performancetuning1"
                                        << "Performance tuning" << 6 << true;
    QTest::newRow("Hardware requirements") << "Hardwarerequirements1"
                                           << "Hardware requirements" << 6 << true;
    QTest::newRow("Video out, case counts") << "Videoout1"
                                            << "Video out" << 6 << true;
    QTest::newRow("Problems") << "Problems1"
                              << "Problems" << 6 << true;
    QTest::newRow("Contacts: not in the document") << "Contacts1" << QString() << 6 << false;
}

void tst_HelpViewer::topicsLandAtTheirHeadings()
{
    QFETCH(QString, item);
    QFETCH(QString, paragraph);
    QFETCH(int, extraLines);
    QFETCH(bool, inView);
    useDocument(TopicsFixture);
    trigger(item.toLatin1().constData());

    QVERIFY(m_viewer->isVisible());
    QVERIFY(m_window->dialogs.errors.isEmpty());
    const int caret = text()->SelStart();
    QCOMPARE(text()->SelLength(), 0);
    const int firstVisible = text()->GetFirstVisibleLine();
    const QRect caretArea = text()->cursorRect();
    if (paragraph.isNull()) {
        QCOMPARE(caret, 0);
    } else {
        const QTextBlock block = text()->document()->findBlock(caret);
        QCOMPARE(block.text(), paragraph);
        QCOMPARE(caret - block.position(), 1);
    }
    QCOMPARE(text()->viewport()->rect().contains(caretArea), inView);

    // The view is where bringing the caret into view from the top puts it, scrolled on
    // by the topic's extra lines.
    text()->verticalScrollBar()->setValue(0);
    text()->SetSelection(caret, 0);
    QCOMPARE(firstVisible, text()->GetFirstVisibleLine() + extraLines);
}

void tst_HelpViewer::escapeHidesAndTopicShowsAgain()
{
    useDocument(TopicsFixture);
    trigger("Introduction1");
    QVERIFY(m_viewer->isVisible());
    QTest::keyClick(text(), Qt::Key_Escape);
    QVERIFY(!m_viewer->isVisible());
    QVERIFY(text()->toPlainText().contains(QStringLiteral("Filler line 1.")));

    // The next topic shows the viewer again and reads the document again.
    QFile file(m_window->dir.file(QStringLiteral("help.rtf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1\\ansi Fresh text\\par Problems\\par}");
    file.close();
    trigger("Problems1");
    QVERIFY(m_viewer->isVisible());
    QCOMPARE(text()->toPlainText(), QStringLiteral("Fresh text\nProblems"));
    QCOMPARE(text()->SelStart(), 12);
}

void tst_HelpViewer::missingFileMessage()
{
    const QString path = QDir::toNativeSeparators(m_window->dir.file(QStringLiteral("help.rtf")));
    trigger("Videoout1");
    QCOMPARE(m_window->dialogs.errors, QStringList({QStringLiteral("Cannot open file %1.").arg(path)}));
    QVERIFY(text()->toPlainText().isEmpty());

    // The viewer keeps what it showed when the file goes away.
    useDocument(TopicsFixture);
    trigger("Videoout1");
    QFile::remove(m_window->dir.file(QStringLiteral("help.rtf")));
    trigger("Problems1");
    QCOMPARE(m_window->dialogs.errors.size(), 2);
    QCOMPARE(m_window->dialogs.errors.constLast(), QStringLiteral("Cannot open file %1.").arg(path));
    QVERIFY(text()->toPlainText().contains(QStringLiteral("Filler line 1.")));

    // Activations do not repeat the message while nothing has changed.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(m_viewer.get(), &activate);
    QCOMPARE(m_window->dialogs.errors.size(), 2);
}

void tst_HelpViewer::documentLookedForHereThenInstalled_data()
{
    QTest::addColumn<bool>("here");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the current folder's copy wins") << true << true << "Here\nProblems";
    QTest::newRow("missing here: the installed copy") << false << true << "Installed\nProblems";
    QTest::newRow("the current folder's only") << true << false << "Here\nProblems";
    QTest::newRow("neither: the message names the current folder") << false << false << QString();
}

void tst_HelpViewer::documentLookedForHereThenInstalled()
{
    QFETCH(bool, here);
    QFETCH(bool, installed);
    QFETCH(QString, shown);
    const auto write = [](const QString &path, const QByteArray &word) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\\ansi " + word + "\\par Problems\\par}");
    };
    if (here)
        write(m_window->dir.file(QStringLiteral("help.rtf")), "Here");
    if (installed)
        write(m_data->filePath(QStringLiteral("system/corvanta/help.rtf")), "Installed");
    trigger("Problems1");
    if (shown.isNull()) {
        const QString path = QDir::toNativeSeparators(m_window->dir.file(QStringLiteral("help.rtf")));
        QCOMPARE(m_window->dialogs.errors, QStringList({QStringLiteral("Cannot open file %1.").arg(path)}));
        return;
    }
    QVERIFY(m_window->dialogs.errors.isEmpty());
    QCOMPARE(text()->toPlainText(), shown);
}

void tst_HelpViewer::activationReadsChangedFile()
{
    useDocument(TopicsFixture);
    trigger("Problems1");
    const int place = text()->verticalScrollBar()->value();
    QVERIFY(place > 0);
    QEvent activate(QEvent::WindowActivate);

    // An unchanged file is not read again: the reader keeps the place.
    QTextCursor(text()->document()).insertText(QStringLiteral("Not from the file. "));
    QCoreApplication::sendEvent(m_viewer.get(), &activate);
    QVERIFY(text()->toPlainText().startsWith(QStringLiteral("Not from the file. ")));

    // A changed file is, and the place is kept.
    QFile file(m_window->dir.file(QStringLiteral("help.rtf")));
    QVERIFY(file.open(QIODevice::Append));
    file.write(" ");
    file.close();
    QCoreApplication::sendEvent(m_viewer.get(), &activate);
    QVERIFY(!text()->toPlainText().startsWith(QStringLiteral("Not from the file. ")));
    QCOMPARE(text()->verticalScrollBar()->value(), place);
    QVERIFY(m_window->dialogs.errors.isEmpty());
}

void tst_HelpViewer::aboutBoxCloses_data()
{
    QTest::addColumn<int>("key"); // 0: click OK
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("OK") << 0;
}

void tst_HelpViewer::aboutBoxCloses()
{
    QFETCH(int, key);
    QPointer<TAboutBox> seen;
    bool closed = false;
    QTimer answerer;
    answerer.setSingleShot(true);
    connect(&answerer, &QTimer::timeout, this, [&] {
        seen = qobject_cast<TAboutBox *>(QApplication::activeModalWidget());
        if (!seen)
            return;
        if (key)
            QTest::keyClick(seen, Qt::Key(key));
        else
            seen->OKButton->click();
        closed = !seen->isVisible();
        if (!closed)
            seen->reject(); // so the test ends and reports
    });
    answerer.start(0);
    trigger("HelpAboutItem");
    QVERIFY(closed);
    QVERIFY(!seen); // made for each showing, gone afterwards
}

void tst_HelpViewer::shippedDocumentHeadings()
{
    QTextDocument doc;
    ScriptDocumentIO::load(&doc, shippedDocumentPath(), false);
    const QString plain = doc.toPlainText();
    const int contents = int(plain.indexOf(QStringLiteral("Contents")));
    QVERIFY(contents >= 0);
    int previous = -1;
    for (const HelpTopic &topic : HelpTopics) {
        const QString heading = QString::fromUtf8(topic.heading);
        const int caret = HeadingCaretPosition(plain, heading);
        QVERIFY2(caret > previous, topic.heading);
        previous = caret;
        if (topic.extraLines == 0)
            continue; // Introduction is found in the contents, at the top
        // Every other topic lands on its own heading, after the contents.
        QVERIFY2(caret > contents, topic.heading);
        const QTextBlock block = doc.findBlock(caret);
        QVERIFY2(block.text().startsWith(heading), topic.heading);
        QCOMPARE(caret - block.position(), 1);
        QVERIFY2(block.charFormat().fontWeight() == QFont::Bold
                     || block.begin().fragment().charFormat().fontWeight() == QFont::Bold,
                 topic.heading);
    }
}

void tst_HelpViewer::shippedDocumentListsEveryKey()
{
    QTextDocument doc;
    ScriptDocumentIO::load(&doc, shippedDocumentPath(), false);
    const QString plain = doc.toPlainText();
    const qsizetype from = plain.indexOf(QStringLiteral("\nKeyboard shortcuts\n"));
    const qsizetype to = plain.indexOf(QStringLiteral("\nCut, copy and paste\n"));
    QVERIFY(from > 0 && to > from);
    const QString section = plain.mid(from, to - from);

    QStringList keys;
    for (QAction *action : m_form->MainMenu->findChildren<QAction *>()) {
        if (!action->shortcut().isEmpty())
            keys << action->shortcut().toString();
    }
    QVERIFY(keys.size() > 20);
    // The keys of the editor and of prompting that are not menu items.
    keys << QStringList{"Alt+Left", "Alt+Right", "Ctrl+Left", "Ctrl+Right", "Ctrl+Up", "Ctrl+Down", "Ctrl+1",
                        "Ctrl+9",   "Ctrl+0",    "Ctrl+Home", "Enter",      "Space",   "Escape"};
    for (const QString &key : keys) {
        static const QRegularExpression boundary(QStringLiteral("[^A-Za-z0-9+]"));
        bool found = false;
        for (qsizetype at = section.indexOf(key); at >= 0 && !found; at = section.indexOf(key, at + 1)) {
            const qsizetype end = at + key.size();
            found = (at == 0 || boundary.match(section.mid(at - 1, 1)).hasMatch())
                && (end == section.size() || boundary.match(section.mid(end, 1)).hasMatch());
        }
        QVERIFY2(found, qPrintable(key));
    }
}

QTEST_MAIN(tst_HelpViewer)
#include "tst_helpviewer.moc"
