#include "help/HelpCommands.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "help/HelpTopics.h"
#include "help/TAboutBox.h"
#include "help/Thelpform.h"

#include <QMainWindow>

void HelpCommands::Introduction1Click() { showTopic(HelpTopics[0]); }
void HelpCommands::Settingup1Click() { showTopic(HelpTopics[1]); }
void HelpCommands::Openascript1Click() { showTopic(HelpTopics[2]); }
void HelpCommands::HelpSearch() { showTopic(HelpTopics[3]); }
void HelpCommands::KeyboardShortcuts1Click() { showTopic(HelpTopics[4]); }
void HelpCommands::CutCopyandpaste1Click() { showTopic(HelpTopics[5]); }
void HelpCommands::Searchandreplace1Click() { showTopic(HelpTopics[6]); }
void HelpCommands::Performancetuning1Click() { showTopic(HelpTopics[7]); }
void HelpCommands::Hardwarerequirements1Click() { showTopic(HelpTopics[8]); }
void HelpCommands::Videoout1Click() { showTopic(HelpTopics[9]); }
void HelpCommands::Problems1Click() { showTopic(HelpTopics[10]); }
void HelpCommands::Contacts1Click() { showTopic(HelpTopics[11]); }

void HelpCommands::showTopic(const HelpTopic &topic)
{
    if (!Viewer)
        return;
    // Read here rather than left to the activation, which the window system may deliver later.
    Viewer->ShowDocument();
    TRichEdit *text = Viewer->RichEdit1;
    text->SetSelection(HeadingCaretPosition(text->toPlainText(), QString::fromUtf8(topic.heading)), 0);
    // Scrolling by no lines would still snap the view to the top of a line.
    if (topic.extraLines != 0)
        text->LineScroll(topic.extraLines);
}

void HelpCommands::HelpAbout()
{
    TAboutBox box(m_c.Form);
    box.exec();
}
