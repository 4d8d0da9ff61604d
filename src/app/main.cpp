#include "app/TMainForm.h"
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

int main(int argc, char *argv[])
{
    // Fonts are given in pixels and points as on a 96 dpi screen.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    TMainForm::PrepareApplication();

    const QStringList args = QApplication::arguments();
    // The windows live for the whole run, created in this order.
    TMainForm mainForm(args.size() > 1 ? args.at(1) : QString());
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
