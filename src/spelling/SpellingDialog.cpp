#include "spelling/SpellingDialog.h"

#include "core/CorvantaError.h"
#include "spelling/SpellCheckRun.h"
#include "spelling/SpellingHelp.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

SpellingDialog::SpellingDialog(SpellCheckRun &run, QWidget *parent)
    : QDialog(parent), m_run(run)
{
    setObjectName(QStringLiteral("SpellingDialog"));
    setWindowTitle(QStringLiteral("Check Spelling"));
    // The main window's 80-pixel font is for the script, not for dialogs.
    setFont(QGuiApplication::font());

    NotInDictionary = new QLineEdit(this);
    NotInDictionary->setObjectName(QStringLiteral("NotInDictionary"));
    NotInDictionary->setReadOnly(true);
    Context = new QLabel(this);
    Context->setObjectName(QStringLiteral("Context"));
    Context->setTextFormat(Qt::RichText);
    Context->setWordWrap(true);
    Context->setMinimumHeight(3 * fontMetrics().lineSpacing());
    Context->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ChangeTo = new QLineEdit(this);
    ChangeTo->setObjectName(QStringLiteral("ChangeTo"));
    Suggestions = new QListWidget(this);
    Suggestions->setObjectName(QStringLiteral("Suggestions"));

    auto *fields = new QGridLayout;
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    fields->addWidget(label(QStringLiteral("&Not in dictionary:"), NotInDictionary), 0, 0);
    fields->addWidget(NotInDictionary, 0, 1);
    fields->addWidget(label(QStringLiteral("In context:"), Context), 1, 0, Qt::AlignTop);
    fields->addWidget(Context, 1, 1);
    fields->addWidget(label(QStringLiteral("C&hange to:"), ChangeTo), 2, 0);
    fields->addWidget(ChangeTo, 2, 1);
    fields->addWidget(label(QStringLiteral("&Suggestions:"), Suggestions), 3, 0, Qt::AlignTop);
    fields->addWidget(Suggestions, 3, 1);
    fields->setColumnMinimumWidth(1, 280);

    auto *buttons = new QVBoxLayout;
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    IgnoreButton = addButton("Ignore", QStringLiteral("&Ignore"));
    IgnoreAllButton = addButton("IgnoreAll", QStringLiteral("I&gnore All"));
    ChangeButton = addButton("Change", QStringLiteral("&Change"));
    ChangeAllButton = addButton("ChangeAll", QStringLiteral("Change A&ll"));
    AddButton = addButton("Add", QStringLiteral("&Add"));
    HelpButton = addButton("Help", QStringLiteral("Help"));
    CancelButton = addButton("Cancel", QStringLiteral("Cancel"));
    for (QPushButton *b : {IgnoreButton, IgnoreAllButton, ChangeButton, ChangeAllButton, AddButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(HelpButton);
    buttons->addWidget(CancelButton);
    ChangeButton->setDefault(true);

    connect(IgnoreButton, &QPushButton::clicked, this, [this] { act([this] { m_run.Ignore(); }); });
    connect(IgnoreAllButton, &QPushButton::clicked, this, [this] { act([this] { m_run.IgnoreAll(); }); });
    connect(ChangeButton, &QPushButton::clicked, this, [this] { act([this] { m_run.Change(ChangeTo->text()); }); });
    connect(ChangeAllButton, &QPushButton::clicked, this,
            [this] { act([this] { m_run.ChangeAll(ChangeTo->text()); }); });
    connect(AddButton, &QPushButton::clicked, this, [this] { act([this] { m_run.Add(); }); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { SpellingHelpWindow(this).exec(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(Suggestions, &QListWidget::currentTextChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            ChangeTo->setText(text);
    });
    connect(Suggestions, &QListWidget::itemActivated, this, [this] { ChangeButton->click(); });
}

QPushButton *SpellingDialog::addButton(const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

void SpellingDialog::act(const std::function<void()> &action)
{
    // The choice failing (Add) leaves the run going on with the next word.
    guard().run(action);
    guard().run([this] {
        if (m_run.Next())
            showCurrent();
        else
            accept();
    });
}

ErrorGuard SpellingDialog::guard()
{
    return ErrorGuard([this](const QString &text) {
        if (OnError)
            OnError(text);
    });
}

void SpellingDialog::showCurrent()
{
    const Misspelling &m = m_run.Current();
    NotInDictionary->setText(m.word);
    Context->setText(m.context.left(m.wordInContext).toHtmlEscaped() + QStringLiteral("<b><font color=\"#c00000\">")
                     + m.context.mid(m.wordInContext, m.length).toHtmlEscaped() + QStringLiteral("</font></b>")
                     + m.context.mid(m.wordInContext + m.length).toHtmlEscaped());
    {
        const QSignalBlocker blocker(Suggestions);
        Suggestions->clear();
        Suggestions->addItems(m.suggestions);
    }
    if (!m.suggestions.isEmpty())
        Suggestions->setCurrentRow(0);
    ChangeTo->setText(m.suggestions.isEmpty() ? m.word : m.suggestions.constFirst());
    ChangeTo->selectAll();
    ChangeTo->setFocus();
    if (OnShowWord)
        m_wordArea = OnShowWord(m);
    if (isVisible())
        keepClearOfWord();
}

void SpellingDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        guard().run([this] { showCurrent(); });
    }
    keepClearOfWord();
}

// Moves the dialog above or below the word when it would hide it.
void SpellingDialog::keepClearOfWord()
{
    if (m_wordArea.isEmpty() || !frameGeometry().intersects(m_wordArea))
        return;
    const QScreen *screen = this->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    QRect frame = frameGeometry();
    const int below = m_wordArea.bottom() + 8;
    if (below + frame.height() <= available.bottom() || available.isEmpty())
        frame.moveTop(below);
    else
        frame.moveBottom(m_wordArea.top() - 8);
    move(frame.topLeft());
}
