#include "help/Thelpform.h"

#include "controls/Dialogs.h"
#include "controls/ErrorGuard.h"
#include "controls/TRichEdit.h"
#include "core/CorvantaError.h"
#include "core/DataFolders.h"
#include "help/HelpTopics.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

namespace {

void setDefaultAlignment(TRichEdit *edit, Qt::Alignment alignment)
{
    QTextOption option = edit->document()->defaultTextOption();
    option.setAlignment(alignment);
    edit->document()->setDefaultTextOption(option);
}

}

Thelpform::Thelpform(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Thelpform"));
    setWindowTitle(QStringLiteral("Help!"));
    resize(543, 348);

    RichEdit1 = new TRichEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->SetScrollBar(true);
    setDefaultAlignment(RichEdit1, Qt::AlignHCenter);
    RichEdit1->OnKeyPress = [this](QChar &key) { RichEdit1KeyPress(key); };
    setFocusProxy(RichEdit1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);
}

QString Thelpform::DocumentPath()
{
    const QString name = QString::fromLatin1(HelpFileName);
    const QString found = FindDataFile(name, DataFolders());
    // Missing everywhere: the message names the copy the operator would put in place.
    return found.isEmpty() ? QDir::current().absoluteFilePath(name) : found;
}

Thelpform::FileStamp Thelpform::stampOf(const QString &path)
{
    const QFileInfo info(path);
    FileStamp stamp;
    stamp.path = info.absoluteFilePath();
    stamp.exists = info.exists();
    if (stamp.exists) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
    }
    return stamp;
}

void Thelpform::LoadDocument()
{
    const QString path = DocumentPath();
    // Taken before reading, so that a file that fails is not tried again on every activation.
    m_lastRead = stampOf(path);
    m_read = true;
    RichEdit1->LoadFromFile(path);
    // Lay the whole document out now, so the scroll range reaches every heading.
    RichEdit1->document()->documentLayout()->blockBoundingRect(RichEdit1->document()->lastBlock());
    // The document's own paragraph formats rule once it is loaded; in rich text a
    // paragraph without one is left-aligned.
    setDefaultAlignment(RichEdit1, Qt::AlignLeft);
    RichEdit1->SetSelection(0, 0);
    RichEdit1->verticalScrollBar()->setValue(0);
}

void Thelpform::ShowDocument()
{
    m_showing = true;
    show();
    raise();
    activateWindow();
    m_showing = false;
    // The text is placed by the size it has on the screen, not the one it had before showing.
    layout()->activate();
    LoadDocument();
}

void Thelpform::FormActivate()
{
    if (m_showing)
        return;
    if (m_read && stampOf(DocumentPath()) == m_lastRead)
        return;
    const int caret = RichEdit1->SelStart();
    const int scroll = RichEdit1->verticalScrollBar()->value();
    LoadDocument();
    RichEdit1->SetSelection(std::min(caret, RichEdit1->document()->characterCount() - 1), 0);
    RichEdit1->verticalScrollBar()->setValue(scroll);
}

void Thelpform::RichEdit1KeyPress(QChar &key)
{
    if (key != QChar(27))
        return;
    key = QChar();
    hide();
}

void Thelpform::runGuarded(const std::function<void()> &handler)
{
    if (Guard) {
        Guard(handler);
        return;
    }
    ErrorGuard([this](const QString &text) { Dialogs().error(this, text); }).run(handler);
}

bool Thelpform::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        runGuarded([this] { FormActivate(); });
    return QWidget::event(e);
}
