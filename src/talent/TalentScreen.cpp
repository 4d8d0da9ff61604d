#include "talent/TalentScreen.h"

#include "controls/ClientArea.h"
#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/PromptState.h"
#include "settings/Settings.h"
#include "talent/FrameView.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace {

// Some platforms give no names: such a screen goes by its place in the list.
QString nameOf(const QScreen *screen)
{
    if (!screen->name().isEmpty())
        return screen->name();
    return QStringLiteral("Screen %1").arg(QGuiApplication::screens().indexOf(const_cast<QScreen *>(screen)) + 1);
}

QScreen *screenNamed(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (QScreen *screen : QGuiApplication::screens())
        if (nameOf(screen) == name)
            return screen;
    return nullptr;
}

QString itemCaption(const QScreen *screen)
{
    const QSize size = screen->geometry().size();
    return QStringLiteral("%1 (%2x%3)").arg(nameOf(screen)).arg(size.width()).arg(size.height());
}

}

TalentScreen::TalentScreen(MainControls &controls, QMenu *menu, QAction *mirrorPrompter, Hooks hooks)
    : m_c(controls), m_menu(menu), m_mirrorPrompter(mirrorPrompter), m_hooks(std::move(hooks))
{
    fillMenu();
    auto *app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this] {
        fillScreenItems();
        follow();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &TalentScreen::screenRemoved);
}

TalentScreen::~TalentScreen()
{
    delete m_window;
}

// ---- The menu ----

void TalentScreen::fillMenu()
{
    m_none = m_menu->addAction(QStringLiteral("None"));
    m_none->setObjectName(QStringLiteral("TalentNone1"));
    m_none->setCheckable(true);
    m_none->setChecked(true);
    m_hooks.wire(m_none, [this] { ChooseScreen(QString()); });
    m_screensEnd = m_menu->addSeparator();
    m_mirrorH = m_menu->addAction(QStringLiteral("Mirror Left-Right"));
    m_mirrorH->setObjectName(QStringLiteral("MirrorLeftRight1"));
    m_mirrorV = m_menu->addAction(QStringLiteral("Mirror Top-Bottom"));
    m_mirrorV->setObjectName(QStringLiteral("MirrorTopBottom1"));
    for (QAction *item : {m_mirrorH, m_mirrorV})
        item->setCheckable(true);
    // A checkable item turns itself over when chosen; the handlers set the marks.
    m_hooks.wire(m_mirrorH, [this] {
        m_mirrorH->setChecked(!m_mirrorH->isChecked());
        MirrorLeftRight1Click();
    });
    m_hooks.wire(m_mirrorV, [this] {
        m_mirrorV->setChecked(!m_mirrorV->isChecked());
        MirrorTopBottom1Click();
    });
    m_hooks.wire(m_mirrorPrompter, [this] {
        m_mirrorPrompter->setChecked(!m_mirrorPrompter->isChecked());
        MirrorPrompter1Click();
    });
    fillScreenItems();
}

// One item per connected screen, and the chosen one while it is away, so the operator
// sees what the program waits for.
void TalentScreen::fillScreenItems()
{
    for (QAction *item : std::as_const(m_screenItems)) {
        m_menu->removeAction(item);
        // It may be the item being chosen right now.
        item->deleteLater();
    }
    m_screenItems.clear();
    QList<std::pair<QString, QString>> entries;
    for (const QScreen *screen : QGuiApplication::screens())
        entries.append({nameOf(screen), itemCaption(screen)});
    if (!m_chosen.isEmpty() && !screenNamed(m_chosen))
        entries.append({m_chosen, QStringLiteral("%1 (not connected)").arg(m_chosen)});
    for (const auto &[name, caption] : entries) {
        auto *item = new QAction(caption, m_menu);
        item->setObjectName(QStringLiteral("TalentOutput%1").arg(m_screenItems.size() + 1));
        item->setCheckable(true);
        item->setChecked(name == m_chosen);
        item->setData(name);
        const QString chosen = name;
        m_hooks.wire(item, [this, chosen] { ChooseScreen(chosen); });
        m_menu->insertAction(m_screensEnd, item);
        m_screenItems.append(item);
    }
    m_none->setChecked(m_chosen.isEmpty());
}

void TalentScreen::ChooseScreen(const QString &name)
{
    m_chosen = name;
    writeBack(QStringLiteral("TALENT"), QStringLiteral("SCREEN"), name);
    // The window goes to its new screen as if that screen had just been plugged in.
    closeWindow();
    fillScreenItems();
    follow();
}

void TalentScreen::MirrorLeftRight1Click()
{
    m_mirrorH->setChecked(!m_mirrorH->isChecked());
    writeBack(QStringLiteral("TALENT"), QStringLiteral("MIRROR"),
              MirrorText(m_mirrorH->isChecked(), m_mirrorV->isChecked()));
    if (m_window)
        m_window->SetMirror(TalentMirror());
}

void TalentScreen::MirrorTopBottom1Click()
{
    m_mirrorV->setChecked(!m_mirrorV->isChecked());
    writeBack(QStringLiteral("TALENT"), QStringLiteral("MIRROR"),
              MirrorText(m_mirrorH->isChecked(), m_mirrorV->isChecked()));
    if (m_window)
        m_window->SetMirror(TalentMirror());
}

void TalentScreen::MirrorPrompter1Click()
{
    m_mirrorPrompter->setChecked(!m_mirrorPrompter->isChecked());
    writeBack(QStringLiteral("SCROLLING"), QStringLiteral("MIRROR"),
              m_mirrorPrompter->isChecked() ? QStringLiteral("YES") : QStringLiteral("NO"));
    if (!m_mirrorPrompter->isChecked() && m_mirrored)
        m_mirrored->hide();
}

void TalentScreen::writeBack(const QString &section, const QString &key, const QString &value)
{
    if (SettingsFileExists())
        WriteSettingsKey(*m_c.settings, section, key, value);
}

// ---- Settings ----

void TalentScreen::TakeSetting(const TalentSetting &setting)
{
    m_chosen = setting.Screen;
    m_mirrorH->setChecked(setting.MirrorH);
    m_mirrorV->setChecked(setting.MirrorV);
    closeWindow();
    fillScreenItems();
    follow();
}

void TalentScreen::TakeMirrorPrompter(bool on)
{
    m_mirrorPrompter->setChecked(on);
}

Mirror TalentScreen::TalentMirror() const
{
    const bool h = m_mirrorH->isChecked();
    const bool v = m_mirrorV->isChecked();
    return h && v ? Mirror::Both : h ? Mirror::Horizontal : v ? Mirror::Vertical : Mirror::None;
}

FrameView *TalentScreen::Window() const
{
    return m_window;
}

FrameView *TalentScreen::MirroredView() const
{
    return m_mirrored;
}

QScreen *TalentScreen::Screen() const
{
    return m_window ? screenNamed(m_chosen) : nullptr;
}

// ---- The talent's window ----

// Opens the window as soon as the chosen screen is there: at start-up, when it is chosen,
// and when it is plugged (back) in, in the middle of a run too.
void TalentScreen::follow()
{
    QScreen *screen = screenNamed(m_chosen);
    if (!screen || m_window)
        return;
    openWindow(screen);
}

void TalentScreen::openWindow(QScreen *screen)
{
    auto *window = new FrameView(m_c.RichEdit1->document(), FrameView::Fit::Talent);
    window->setObjectName(QStringLiteral("TalentWindow"));
    window->setWindowTitle(QStringLiteral("Corvanta talent screen"));
    // The operator's keys must keep going to the main window, whatever is shown here.
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setFocusPolicy(Qt::NoFocus);
    window->setCursor(Qt::BlankCursor);
    window->installEventFilter(this);
    window->SetMirror(TalentMirror());
    window->ShowFrame(m_lastFrame);
    // Placed by the program, not the window manager: full screen works where windows
    // cannot place themselves. As showFullScreen() but without its activation, which
    // would take the keys from the operator.
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    window->setWindowState(Qt::WindowFullScreen);
    window->show();
    m_window = window;
    // Between runs the frame is taken afresh: the script may have changed since the last one.
    if (!m_prompting)
        m_hooks.publishFrame();
}

bool TalentScreen::eventFilter(QObject *watched, QEvent *event)
{
    // Where the platform or the window manager activates it anyway, the activation goes
    // straight back: the operator's keys steer the run.
    if (watched == m_window && event->type() == QEvent::WindowActivate && m_c.Form->isVisible())
        m_c.Form->activateWindow();
    return false;
}

void TalentScreen::closeWindow()
{
    // At once, not later: a window left on a screen that goes away is moved to the
    // operator's screen, full screen over the main window.
    delete m_window;
}

void TalentScreen::screenRemoved(QScreen *screen)
{
    if (m_window && (m_window->screen() == screen || nameOf(screen) == m_chosen)) {
        closeWindow();
        if (m_prompting || m_c.prompt->Prompting)
            m_lostOnAir = true;
    }
    // The removed screen is no longer listed.
    fillScreenItems();
}

// ---- Frames ----

void TalentScreen::ShowFrame(const PromptFrame &frame)
{
    if (frame.prompting && !m_prompting)
        m_lostOnAir = false;
    m_prompting = frame.prompting;
    m_lastFrame = frame;
    if (m_window)
        m_window->ShowFrame(frame);
    showMirrored(frame);
}

void TalentScreen::showMirrored(const PromptFrame &frame)
{
    if (!frame.prompting || !m_mirrorPrompter->isChecked()) {
        if (m_mirrored)
            m_mirrored->hide();
        return;
    }
    if (!m_mirrored) {
        m_mirrored = new FrameView(m_c.RichEdit1->document(), FrameView::Fit::Operator, m_c.Client);
        m_mirrored->setObjectName(QStringLiteral("MirroredView"));
        m_mirrored->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_mirrored->setFocusPolicy(Qt::NoFocus);
        m_mirrored->SetMirror(Mirror::Horizontal);
    }
    if (m_mirrored->geometry() != m_c.Client->rect())
        m_mirrored->setGeometry(m_c.Client->rect());
    m_mirrored->ShowFrame(frame);
    if (m_mirrored->isHidden()) {
        m_mirrored->raise();
        m_mirrored->show();
    }
}

void TalentScreen::PromptingEnded()
{
    m_prompting = false;
    if (m_mirrored)
        m_mirrored->hide();
    if (m_chosen.isEmpty())
        return;
    if (!screenNamed(m_chosen))
        m_c.StatusBar->SetPanelText(2, QStringLiteral(" Talent: %1 (not connected)").arg(m_chosen));
    else if (m_lostOnAir)
        m_c.StatusBar->SetPanelText(2, QStringLiteral(" Talent: %1 (was unplugged)").arg(m_chosen));
    else
        return;
    m_c.StatusBar->FitPanel(2, m_c.StatusBar->PanelText(2));
    m_lostOnAir = false;
}

void TalentScreen::EditorChanged()
{
    if (m_prompting || !m_window || m_idlePending)
        return;
    // Typing and scrolling come in bursts: one picture for each burst.
    m_idlePending = true;
    QTimer::singleShot(0, this, [this] {
        m_idlePending = false;
        if (!m_prompting && m_window)
            m_hooks.publishFrame();
    });
}
