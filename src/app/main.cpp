#include "app/CommandLine.h"
#include "app/TMainForm.h"
#include "core/DataFolders.h"
#include "editor/Colours.h"
#include "editor/ScriptFiles.h"
#include "editor/Tcolorform.h"
#include "editor/Tsaving.h"
#include "help/HelpCommands.h"
#include "help/Thelpform.h"
#include "search/FindReplace.h"
#include "search/Tfinddialogbox.h"
#include "search/Treplacedialogbox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CommandLine line = ParseCommandLine(args);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(CommandLineHelp()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(qPrintable(CommandLineVersion()), stdout);
        return 0;
    case CommandLine::Action::Mistake:
        std::fprintf(stderr, "corvanta: %s\nTry 'corvanta --help' for the options.\n", qPrintable(line.message));
        return CommandLineMistakeStatus;
    case CommandLine::Action::Run:
        break;
    }
    // Named from the folder it was started in, before the program moves to its own.
    if (line.userFolder && !line.script.isEmpty())
        line.script = QFileInfo(line.script).absoluteFilePath();

    // Fonts are given in pixels and points as on a 96 dpi screen.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    TMainForm::PrepareApplication();
    if (line.userFolder) {
        const QString folder = UserSettingsFolder();
        if (folder.isEmpty() || !QDir::setCurrent(folder))
            std::fprintf(stderr, "corvanta: cannot work in %s; the current folder is used.\n",
                         qPrintable(QDir::toNativeSeparators(folder)));
    }

    // The windows live for the whole run, created in this order.
    TMainForm mainForm(line.script);
    Thelpform helpForm;
    Treplacedialogbox replaceDialog;
    Tcolorform colorForm;
    Tsaving savingWindow;
    Tfinddialogbox findDialog;
    mainForm.Files->SavingWindow = &savingWindow;
    mainForm.ColourCommands->ColorForm = &colorForm;
    mainForm.FindAndReplace->FindDialog = &findDialog;
    mainForm.FindAndReplace->ReplaceDialog = &replaceDialog;
    mainForm.Help->Viewer = &helpForm;
    helpForm.Guard = [&mainForm](const std::function<void()> &handler) { mainForm.Guard().run(handler); };

    mainForm.show();
    mainForm.activateWindow();
    return app.exec();
}
