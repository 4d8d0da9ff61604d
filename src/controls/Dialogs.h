#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

// What a file dialog returned: the chosen path and the 1-based filter index.
struct FileChoice
{
    bool accepted = false;
    QString path;
    int filterIndex = 1;
};

// Every modal question the program asks goes through here, so that tests can
// answer them without a real dialog.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // The error box: caption "Corvanta", error icon.
    virtual void error(QWidget *parent, const QString &text);
    // A plain message box captioned "Corvanta".
    virtual void information(QWidget *parent, const QString &text);
    // The confirmation box: caption "Confirm", question icon; returns Yes, No or Cancel.
    virtual QMessageBox::StandardButton confirm(QWidget *parent, const QString &text,
                                                QMessageBox::StandardButtons buttons);
    virtual FileChoice openFile(QWidget *parent, const QString &folder, const QStringList &filters,
                                int filterIndex);
    virtual FileChoice saveFile(QWidget *parent, const QString &folder, const QStringList &filters,
                                int filterIndex, const QString &defaultSuffix);
    virtual bool print(QWidget *parent, QPrinter *printer);
};

// The error box text: the message with a full stop when it does not end in one.
QString ErrorBoxText(const QString &message);
