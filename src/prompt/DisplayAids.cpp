#include "prompt/DisplayAids.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "core/Version.h"
#include "prompt/PromptState.h"
#include "prompt/ReadingTime.h"
#include "settings/Settings.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QTextDocument>
#include <QTimer>

DisplayAids::DisplayAids(MainControls &controls)
    : m_c(controls), P(*controls.prompt)
{
}

void DisplayAids::Panel1MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int, int y)
{
    if (buttons == Qt::LeftButton && keys == Qt::NoModifier)
        m_c.Label1->move(m_c.Label1->x(), y);
}

void DisplayAids::Panel1MouseUp(Qt::MouseButton, int, int)
{
    if (SettingsFileExists())
        WriteSettingsKey(*m_c.settings, QStringLiteral("WINDOW"), QStringLiteral("ARROWPOS"),
                         QString::number(m_c.Label1->y()));
}

void DisplayAids::Panel1DblClick()
{
    QLabel *const labels[] = {m_c.Label2, m_c.Label4, m_c.Label3, m_c.Label5};
    const bool show = m_c.Label2->isHidden();
    P.ShowSpeedLabels = show ? 1 : 0;
    for (QLabel *label : labels)
        label->setVisible(show);
    if (show)
        m_c.Timer1->start();
    else
        m_c.Timer1->stop();
}

void DisplayAids::FontSmoothing1Click()
{
    toggleScrollSetting(m_c.FontSmoothing1, QStringLiteral("FONT SMOOTHING"), QStringLiteral("YES"),
                        QStringLiteral("NO"));
}

void DisplayAids::SteadySpeed1Click()
{
    toggleScrollSetting(m_c.SteadySpeed1, QStringLiteral("METHOD"), QStringLiteral("FRAME"), QStringLiteral("WIN"));
}

// Turns a check item of the scroll settings over and, when there is a settings file,
// writes its key there.
void DisplayAids::toggleScrollSetting(QAction *item, const QString &key, const QString &on, const QString &off)
{
    item->setChecked(!item->isChecked());
    if (SettingsFileExists())
        WriteSettingsKey(*m_c.settings, QStringLiteral("SCROLLING"), key, item->isChecked() ? on : off);
}

void DisplayAids::Timer1Timer()
{
    updateRates();
    updateCaption();
    updateReadingTime();
    P.SavedSelStart = m_c.RichEdit1->LineIndex(-1);
}

void DisplayAids::Timer3Timer()
{
    m_c.Timer3->stop();
}

void DisplayAids::updateRates()
{
    if (P.CurrentSpeed != P.RatePrevSpeed || P.CurrentDelay != P.RatePrevDelay) {
        P.RateSum = 0;
        P.RateTicks = 1;
    }
    if (P.CurrentSpeed != 0)
        ++P.RateTicks;
    P.RateSum += P.TickScanLines;
    m_c.Label4->setText(QString::number(P.RateSum / P.RateTicks));
    P.TickScanLines = 0;
    m_c.Label5->setText(QString::number(P.TickSteps));
    P.TickSteps = 0;
    P.RatePrevSpeed = P.CurrentSpeed;
    P.RatePrevDelay = P.CurrentDelay;
}

void DisplayAids::updateCaption()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    m_c.Form->setWindowTitle(MainWindowTitle() + QStringLiteral(" :  ")
                             + locale.toString(now.date(), QStringLiteral("dddd d MMMM yyyy"))
                             + QStringLiteral("    ") + now.time().toString(QStringLiteral("hh:mm:ss ")));
}

int DisplayAids::remainingCharacters() const
{
    // The text's length without trailing blanks and control characters, found from the
    // end so that a long script costs nothing extra each second.
    const QTextDocument *doc = m_c.RichEdit1->document();
    int length = doc->characterCount() - 1;
    auto blank = [](QChar c) {
        return c <= QChar(' ') || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    };
    while (length > 0 && blank(doc->characterAt(length - 1)))
        --length;
    return length - m_c.RichEdit1->LineIndex(-1);
}

void DisplayAids::updateReadingTime()
{
    m_c.StatusBar->SetPanelText(1, ReadingTimeText(remainingCharacters()));
}
