#include "editor/Formatting.h"

#include "controls/MainControls.h"

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QScopeGuard>
#include <QTextDocument>
#include <QToolButton>

#include <functional>

Formatting::Formatting(MainControls &controls)
    : m_c(controls)
{
    connectControls();
}

void Formatting::connectControls()
{
    if (m_c.RichEdit1) {
        QObject::connect(m_c.RichEdit1->document(), &QTextDocument::contentsChange, m_c.RichEdit1,
                         [this] { ++m_changes; });
    }
}

TextAttributes Formatting::SelectionFormat()
{
    m_c.RichEdit1->setFocus();
    return m_c.RichEdit1->SelAttributes();
}

void Formatting::FillFontNames()
{
    // Filling the list selects its first entry, which is no choice of the operator's.
    SyncingToolbar = true;
    const auto done = qScopeGuard([this] { SyncingToolbar = false; });
    QStringList names = QFontDatabase::families();
    names.sort(Qt::CaseInsensitive);
    m_c.fontname->clear();
    m_c.fontname->addItems(names);
}

void Formatting::ShowSelectionFormat()
{
    SyncingToolbar = true;
    const auto done = qScopeGuard([this] { SyncingToolbar = false; });
    const TextAttributes a = m_c.RichEdit1->SelAttributes();
    m_c.UnderlineButton->setChecked(a.Underline);
    m_c.BoldButton->setChecked(a.Bold);
    m_c.ItalicButton->setChecked(a.Italic);
    const int entry = m_c.fontname->findText(a.Name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    m_c.fontname->setCurrentIndex(entry);
    if (entry < 0)
        m_c.fontname->setEditText(a.Name);
    if (!m_applyingSize)
        m_c.fontsize->setText(QString::number(qRound(a.Size)));
}

void Formatting::RichEdit1SelectionChange()
{
    ShowSelectionFormat();
}

// ---- Bold, italic, underline ----

void Formatting::applyStyle(Style style)
{
    if (SyncingToolbar)
        return;
    SelectionFormat();
    // Only the one flag is written: the others keep what each character has.
    switch (style) {
    case Style::Bold: m_c.RichEdit1->SetSelBold(m_c.BoldButton->isChecked()); break;
    case Style::Italic: m_c.RichEdit1->SetSelItalic(m_c.ItalicButton->isChecked()); break;
    case Style::Underline: m_c.RichEdit1->SetSelUnderline(m_c.UnderlineButton->isChecked()); break;
    }
    // Moving an empty selection would drop the typing format just set.
    if (m_c.RichEdit1->SelLength() > 0)
        m_c.RichEdit1->SetSelection(m_c.RichEdit1->SelStart(), 0);
}

void Formatting::toggleStyleFromMenu(Style style)
{
    QToolButton *button = style == Style::Bold ? m_c.BoldButton
                        : style == Style::Italic ? m_c.ItalicButton
                                                 : m_c.UnderlineButton;
    button->setChecked(!button->isChecked());
    applyStyle(style);
}

void Formatting::BoldButtonClick() { applyStyle(Style::Bold); }
void Formatting::UnderlineButtonClick() { applyStyle(Style::Underline); }
void Formatting::ItalicButtonClick() { applyStyle(Style::Italic); }
void Formatting::Bold1Click() { toggleStyleFromMenu(Style::Bold); }
void Formatting::Underline1Click() { toggleStyleFromMenu(Style::Underline); }
void Formatting::Italic1Click() { toggleStyleFromMenu(Style::Italic); }

// ---- Font name and size: the whole script ----

void Formatting::caretToStart()
{
    TRichEdit *edit = m_c.RichEdit1;
    if (edit->SelStart() != 0 || edit->SelLength() != 0)
        edit->SetSelection(0, 0);
}

void Formatting::FontNameoldChange()
{
    if (SyncingToolbar)
        return;
    const int entry = m_c.fontname->currentIndex();
    const QString name = entry >= 0 ? m_c.fontname->itemText(entry) : QString();
    if (name.isEmpty() || name != m_c.fontname->currentText())
        return;
    if (name == m_appliedName && m_changes == m_changesAtApplied)
        return;
    TRichEdit *edit = m_c.RichEdit1;
    edit->SelectAll();
    edit->SetSelFontName(name);
    caretToStart();
    edit->setFocus();
    m_appliedName = name;
    m_changesAtApplied = m_changes;
}

bool Formatting::ParseFontSize(const QString &text, int *points)
{
    // Leading blanks and a sign are allowed, nothing after the digits.
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    const QStringView rest = QStringView(text).mid(i);
    if (rest.isEmpty() || rest.back().isSpace())
        return false;
    for (qsizetype k = (rest.front() == QLatin1Char('+') || rest.front() == QLatin1Char('-')) ? 1 : 0;
         k < rest.size(); ++k) {
        if (rest.at(k) < QLatin1Char('0') || rest.at(k) > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int value = rest.toInt(&ok);
    if (ok)
        *points = value;
    return ok;
}

void Formatting::FontSizeoldChange()
{
    if (SyncingToolbar)
        return;
    m_applyingSize = true;
    const auto done = qScopeGuard([this] { m_applyingSize = false; });
    TRichEdit *edit = m_c.RichEdit1;
    int points = 0;
    const bool isNumber = ParseFontSize(m_c.fontsize->text(), &points);
    edit->SelectAll();
    if (isNumber) {
        edit->SetSelSize(std::min(points, MaxFontSize));
    } else {
        const QFont base = edit->document()->defaultFont();
        edit->SetBaseFont(base.family(), DefaultBaseSize, TRichEdit::FromQColor(edit->palette().color(QPalette::Text)));
    }
    caretToStart();
}

void Formatting::FontSizeoldKeyUp(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == 13)
        m_c.RichEdit1->setFocus();
}

// ---- Paragraphs ----

void Formatting::AlignLeft1Click()
{
    if (!SyncingToolbar)
        m_c.RichEdit1->SetParagraphAlignment(Qt::AlignLeft);
}

void Formatting::AlignRight1Click()
{
    if (!SyncingToolbar)
        m_c.RichEdit1->SetParagraphAlignment(Qt::AlignRight);
}

void Formatting::AlignCentre1Click()
{
    if (!SyncingToolbar)
        m_c.RichEdit1->SetParagraphAlignment(Qt::AlignHCenter);
}

void Formatting::Bullets2Click()
{
    if (!SyncingToolbar)
        m_c.RichEdit1->SetBullets(!m_c.RichEdit1->Bullets());
}
