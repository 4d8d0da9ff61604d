#include "controls/Dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

QString ErrorBoxText(const QString &message)
{
    if (message.endsWith(QLatin1Char('.')))
        return message;
    return message + QLatin1Char('.');
}

void Dialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QStringLiteral("Corvanta"), ErrorBoxText(text));
}

void Dialogs::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QStringLiteral("Corvanta"), text);
}

QMessageBox::StandardButton Dialogs::confirm(QWidget *parent, const QString &text,
                                             QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, buttons, parent);
    if (QAbstractButton *yes = box.button(QMessageBox::Yes))
        yes->setText(QStringLiteral("&Yes"));
    if (QAbstractButton *no = box.button(QMessageBox::No))
        no->setText(QStringLiteral("&No"));
    return QMessageBox::StandardButton(box.exec());
}

namespace {

// The filter as the dialog shows it with its details hidden: the text before the
// last group of patterns.
QString shownFilterText(const QString &filter)
{
    static const QRegularExpression patterns(QStringLiteral("^(.*)\\([a-zA-Z0-9_.,*? +;#\\-\\[\\]@{}/!<>$%&=^~:|]*\\)$"));
    const QRegularExpressionMatch m = patterns.match(filter);
    return m.hasMatch() ? m.captured(1).trimmed() : filter;
}

int filterNumber(const QStringList &filters, const QString &selected)
{
    for (int i = 0; i < filters.size(); ++i) {
        if (filters.at(i) == selected || shownFilterText(filters.at(i)) == selected)
            return i + 1;
    }
    return 1;
}

FileChoice runFileDialog(QFileDialog &dialog, const QStringList &filters, int filterIndex)
{
    // Filters read "text (patterns)"; the operator sees the text alone, so that the
    // patterns can say what the platform needs ("*" for every file).
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(filterIndex - 1));
    FileChoice choice;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return choice;
    choice.accepted = true;
    choice.path = dialog.selectedFiles().constFirst();
    choice.filterIndex = filterNumber(filters, dialog.selectedNameFilter());
    return choice;
}

}

FileChoice Dialogs::openFile(QWidget *parent, const QString &folder, const QStringList &filters,
                             int filterIndex)
{
    QFileDialog dialog(parent, QString(), folder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return runFileDialog(dialog, filters, filterIndex);
}

FileChoice Dialogs::saveFile(QWidget *parent, const QString &folder, const QStringList &filters,
                             int filterIndex, const QString &)
{
    // The default extension is added by the caller, by the rules of the chosen filter.
    QFileDialog dialog(parent, QString(), folder);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The caller asks about overwriting with its own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return runFileDialog(dialog, filters, filterIndex);
}

bool Dialogs::print(QWidget *parent, QPrinter *printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}
