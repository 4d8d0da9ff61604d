#include "editor/Formatting.h"

#include "app/MainControls.h"
#include "app/TRichEdit.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QToolButton>

void Formatting::FillFontNames()
{
    QStringList names = QFontDatabase::families();
    names.sort(Qt::CaseInsensitive);
    m_c.fontname->clear();
    m_c.fontname->addItems(names);
}

void Formatting::ShowSelectionFormat()
{
    SyncingToolbar = true;
    const TextAttributes a = m_c.RichEdit1->SelAttributes();
    m_c.BoldButton->setChecked(a.Bold);
    m_c.ItalicButton->setChecked(a.Italic);
    m_c.UnderlineButton->setChecked(a.Underline);
    m_c.fontsize->setText(QString::number(qRound(a.Size)));
    m_c.fontname->setCurrentText(a.Name);
    SyncingToolbar = false;
}

void Formatting::RichEdit1SelectionChange()
{
    ShowSelectionFormat();
}

void Formatting::BoldButtonClick() {}
void Formatting::UnderlineButtonClick() {}
void Formatting::ItalicButtonClick() {}
void Formatting::Bold1Click() {}
void Formatting::Underline1Click() {}
void Formatting::Italic1Click() {}
void Formatting::FontNameoldChange() {}
void Formatting::FontSizeoldChange() {}
void Formatting::FontSizeoldKeyUp(int) {}
void Formatting::AlignLeft1Click() {}
void Formatting::AlignRight1Click() {}
void Formatting::AlignCentre1Click() {}
void Formatting::Bullets2Click() {}
