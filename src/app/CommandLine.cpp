#include "app/CommandLine.h"

#include "core/Version.h"

#include <QCommandLineParser>

namespace {

// Our own help and version options: Qt's add --help-all, which would promise Qt's own
// options, and those are not taken before the window system starts.
const QCommandLineOption HelpOption({QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("Shows these options and exits."));
const QCommandLineOption VersionOption({QStringLiteral("v"), QStringLiteral("version")},
                                       QStringLiteral("Shows the version and exits."));
const QCommandLineOption UserFolderOption(
    QStringLiteral("user-folder"),
    QStringLiteral("Works in your own folder, ~/.config/corvanta (made when missing), so the "
                   "settings file CORVANTA.INI is kept there. The desktop's menu starts "
                   "Corvanta this way; otherwise the current folder holds it."));

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Corvanta %1: write, format and prompt scripts.").arg(ProgramVersion()));
    parser.addOption(HelpOption);
    parser.addOption(VersionOption);
    parser.addOption(UserFolderOption);
    parser.addPositionalArgument(QStringLiteral("script"),
                                 QStringLiteral("The script to open: rich text, plain text or ZNQ."),
                                 QStringLiteral("[script]"));
}

}

CommandLine ParseCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
    describe(parser);
    CommandLine line;
    if (!parser.parse(args)) {
        line.action = CommandLine::Action::Mistake;
        line.message = parser.errorText();
        return line;
    }
    if (parser.isSet(HelpOption)) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (parser.isSet(VersionOption)) {
        line.action = CommandLine::Action::Version;
        return line;
    }
    const QStringList scripts = parser.positionalArguments();
    if (scripts.size() > 1) {
        line.action = CommandLine::Action::Mistake;
        line.message = QStringLiteral("Only one script can be opened; '%1' was named as well.").arg(scripts.at(1));
        return line;
    }
    line.script = scripts.value(0);
    line.userFolder = parser.isSet(UserFolderOption);
    return line;
}

QString CommandLineHelp()
{
    QCommandLineParser parser;
    describe(parser);
    QString text = parser.helpText();
    // Without an application object the parser cannot know the program's name.
    const qsizetype endOfUsage = text.indexOf(QLatin1Char('\n'));
    if (text.startsWith(QLatin1String("Usage:")) && endOfUsage > 0)
        text.replace(0, endOfUsage, QStringLiteral("Usage: corvanta [options] [script]"));
    return text;
}

QString CommandLineVersion()
{
    return QStringLiteral("Corvanta %1\n").arg(ProgramVersion());
}
