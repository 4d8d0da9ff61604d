#include "serial/ControlSource.h"

#include "controls/MainControls.h"
#include "settings/Settings.h"
#include "controls/TStatusBar.h"
#include "controls/TCommPortDriver.h"

#include <QAction>
#include <QLabel>

namespace {

struct Source
{
    const char *status;
    const char *value;
};

constexpr Source Sources[] = {
    {" Control: Keyboard", "KEYBOARD"},
    {" Control: Serial COM 1", "COM1"},
    {" Control: Serial COM 2", "COM2"},
};

}

QString ControlSource::StatusText(int source)
{
    return QString::fromLatin1(Sources[source].status);
}

QString ControlSource::NotConnectedText(int source)
{
    return StatusText(source) + QStringLiteral(" (not connected)");
}

QString ControlSource::CurrentText() const
{
    // The order a prompt start applies them in: the keyboard wins, then port 1.
    int source = -1;
    if (m_c.ScrollControls1->isChecked())
        source = SettingsConsumers::Keyboard;
    else if (m_c.COM11->isChecked())
        source = SettingsConsumers::Com1;
    else if (m_c.Com21->isChecked())
        source = SettingsConsumers::Com2;
    if (source < 0)
        return QString();
    if (source != SettingsConsumers::Keyboard && m_c.CommPortDriver1->Lost())
        return NotConnectedText(source);
    return StatusText(source);
}

void ControlSource::choose(int source)
{
    QAction *items[] = {m_c.ScrollControls1, m_c.COM11, m_c.Com21};
    for (int i = 0; i < 3; ++i)
        items[i]->setChecked(i == source);
    m_c.StatusBar->SetPanelText(2, StatusText(source));
    TakeSettingsDir(*m_c.settings);
    WriteSettingsKey(*m_c.settings, QStringLiteral("SCROLLING"), QStringLiteral("CONTROL"),
                     QString::fromLatin1(Sources[source].value));
}

void ControlSource::ScrollControls1Click()
{
    choose(SettingsConsumers::Keyboard);
}

void ControlSource::COM11Click()
{
    choose(SettingsConsumers::Com1);
}

void ControlSource::Com21Click()
{
    choose(SettingsConsumers::Com2);
}

void ControlSource::ApplyAtPromptStart()
{
    TCommPortDriver *port = m_c.CommPortDriver1;
    if (m_c.COM11->isChecked()) {
        port->SetComPort(pnCOM1);
        port->OpenPort();
    }
    if (m_c.Com21->isChecked()) {
        port->SetComPort(pnCOM2);
        port->OpenPort();
    }
    if (m_c.ScrollControls1->isChecked())
        port->ClosePort();
}

void ControlSource::ShowConnection()
{
    const TCommPortDriver *port = m_c.CommPortDriver1;
    if (m_c.ControlSign)
        m_c.ControlSign->setVisible(port->Lost());
    // Only a port that a run wants says anything: closing it at the end of a run leaves the
    // last word standing.
    if (!port->Wanted() || port->ComPort() > pnCOM2)
        return;
    const int source = port->ComPort() == pnCOM1 ? SettingsConsumers::Com1 : SettingsConsumers::Com2;
    if (port->Lost())
        m_c.StatusBar->SetPanelText(2, NotConnectedText(source));
    else if (m_c.StatusBar->PanelText(2) == NotConnectedText(source))
        m_c.StatusBar->SetPanelText(2, StatusText(source));
}
