#pragma once

#include "controls/Dialogs.h"

#include <QDir>
#include <QPrinter>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <deque>

// Answers the program's questions from a script and records what it was shown.
class FakeDialogs : public Dialogs
{
public:
    QStringList errors;
    QStringList messages;
    QStringList questions;
    std::deque<QMessageBox::StandardButton> answers; // next confirm() answers; Yes when empty
    std::deque<FileChoice> files;                     // next open/save answers; cancelled when empty

    void error(QWidget *, const QString &text) override { errors << ErrorBoxText(text); }
    void information(QWidget *, const QString &text) override { messages << text; }
    QMessageBox::StandardButton confirm(QWidget *, const QString &text, QMessageBox::StandardButtons) override
    {
        questions << text;
        if (answers.empty())
            return QMessageBox::Yes;
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    FileChoice openFile(QWidget *, const QString &, const QStringList &, int) override { return nextFile(); }
    FileChoice saveFile(QWidget *, const QString &, const QStringList &, int, const QString &) override
    {
        return nextFile();
    }
    // Never the real print dialog, which would wait for a click: a print goes to pdfPath
    // as a PDF file, or is cancelled when no path is given.
    QString pdfPath;
    int printed = 0;
    QString docNameShown;
    bool print(QWidget *, QPrinter *printer) override
    {
        ++printed;
        docNameShown = printer->docName();
        if (pdfPath.isEmpty())
            return false;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        return true;
    }

private:
    FileChoice nextFile()
    {
        if (files.empty())
            return {};
        FileChoice f = files.front();
        files.pop_front();
        return f;
    }
};

// Makes a fresh temporary folder the current directory for the lifetime of the object.
class ScopedWorkDir
{
public:
    ScopedWorkDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(m_previous); }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

// Shows a window and makes it the active one, so that its shortcuts act and its focus
// counts. On an X display without a window manager nothing activates a window but the
// program itself.
inline bool ActivateWindow(QWidget *window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}
