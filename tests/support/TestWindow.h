#pragma once

#include "FakeDialogs.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "formats/MarkerChars.h"
#include "settings/Settings.h"

#include <QAction>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include <memory>

// The main window as a test drives it. A scratch folder of its own is made the current
// one first (the program keeps CORVANTA.INI in the current folder), then the dialogs that
// answer it, then the window; they go in the opposite order. Tests that need two windows
// one after the other (a restart) close the first with close() and open the next.
template<class Dialogs = FakeDialogs>
class BasicTestWindow
{
public:
    BasicTestWindow() = default;
    ~BasicTestWindow() { close(); }
    BasicTestWindow(const BasicTestWindow &) = delete;
    BasicTestWindow &operator=(const BasicTestWindow &) = delete;

    // The default settings file with these keys changed; before open(), which reads it.
    static bool settings(const QList<SettingsKey> &keys) { return writeSettingsFile(keys); }

    // Starts the window as the program does, on this script (none: an empty one).
    TMainForm &open(const QString &script = QString())
    {
        close();
        form = std::make_unique<TMainForm>(script, &dialogs);
        return *form;
    }

    void close() { form.reset(); }

    // Shown (at this size, if one is given) and on the screen. The once-a-second caret-line
    // timer is stopped, so that only the test moves through the script. Use as
    // QVERIFY(window.show()).
    bool show(QSize size = QSize())
    {
        if (size.isValid())
            form->resize(size);
        form->show();
        form->Timer2->stop();
        return QTest::qWaitForWindowExposed(form.get());
    }

    // Shown and the active window, for tests whose keys go through shortcuts and focus.
    bool activate()
    {
        form->Timer2->stop();
        return ActivateWindow(form.get());
    }

    // Runs a test can watch: the busy-wait method with key k moving k pixels a step, at a
    // delay slow enough to see every step.
    void slowKeys()
    {
        form->Action(QStringLiteral("SteadySpeed1"))->setChecked(false);
        for (int k = 1; k <= 9; ++k)
            form->SettingsRecord->KeyboardSpeedTable[k] = {k, 200000};
    }

    // A script of numbered lines ("Line 0", "Line 1", ... with this pattern), a jump marker
    // in front of each listed line; the caret at the start.
    void loadLines(int count, const QList<int> &markerLines = {}, const QString &pattern = QStringLiteral("Line %1"))
    {
        QStringList lines;
        lines.reserve(count);
        for (int i = 0; i < count; ++i)
            lines << (markerLines.contains(i) ? QString(JumpMarker) : QString()) + pattern.arg(i);
        form->RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
        form->RichEdit1->SetSelection(0, 0);
    }

    int lineHeight() const { return form->RichEdit1->LineTop(1) - form->RichEdit1->LineTop(0); }
    // The whole lines the client area holds.
    int pageLines() const { return form->Controls().Client->height() / lineHeight(); }

    // What the window reported as errors, for QVERIFY2(window.errors().isEmpty(), ...).
    QString errors() const { return dialogs.errors.join(QLatin1Char('\n')); }
    bool clean() const { return dialogs.errors.isEmpty(); }

    ScopedWorkDir dir;
    Dialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

using TestWindow = BasicTestWindow<>;
