#pragma once

#include "prompt/PromptControl.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QCheckBox;
class QLabel;
class QSpinBox;
class RemoteServer;

// Tools > Remote Control...: switches the remote on or off, its port, whether other devices
// may connect; shows the page's address, its QR code, the pairing code and the counts.
class RemoteDialog : public QDialog
{
    Q_OBJECT

public:
    // apply saves the choice and (re)starts or stops the server; it returns an error text
    // for the dialog, or "".
    RemoteDialog(RemoteServer &server, std::function<QString(const RemoteSettings &)> apply, QWidget *parent = nullptr);

    void showChoice(const RemoteSettings &remote, const QString &error);
    // The dialog's state from the server's: listening or not, addresses, counts.
    void refresh();

private:
    RemoteSettings choice() const;
    void growToFit();

    RemoteServer &m_server;
    std::function<QString(const RemoteSettings &)> m_apply;
    QCheckBox *m_enabled;
    QSpinBox *m_port;
    QCheckBox *m_network;
    QLabel *m_status;
    QLabel *m_address;
    QLabel *m_qrCode;
    QLabel *m_pairingCode;
    QLabel *m_counts;
    QString m_error;
    QTimer m_countsTimer;
};

// The remote as the main window owns it: the server on the prompt commands, its settings,
// and the dialog.
class RemoteControl : public QObject
{
public:
    RemoteControl(PromptControl &control, Settings &settings, QWidget *window);
    ~RemoteControl() override;

    // At start: listens when [REMOTE] says so. A port that is taken is shown in the
    // dialog, never in a box.
    void Open();
    // On exit: nothing listens any more.
    void Close();
    void RemoteControlItemClick();

    RemoteServer &Server() { return *m_server; }
    RemoteDialog *Dialog() const { return m_dialog; }
    // Saves the choice and starts, restarts or stops the server; the error text or "".
    QString Apply(const RemoteSettings &remote);

private:
    Settings &m_settings;
    QWidget *m_window;
    RemoteServer *m_server;
    RemoteDialog *m_dialog = nullptr;
    QString m_startError;
};
