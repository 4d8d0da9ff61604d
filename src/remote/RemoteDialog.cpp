#include "remote/RemoteDialog.h"

#include "core/CorvantaError.h"
#include "remote/QrCode.h"
#include "remote/RemoteServer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel *label(const char *name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

RemoteDialog::RemoteDialog(RemoteServer &server, std::function<QString(const RemoteSettings &)> apply, QWidget *parent)
    : QDialog(parent), m_server(server), m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("RemoteDialog"));
    setWindowTitle(QStringLiteral("Remote Control"));

    m_enabled = new QCheckBox(QStringLiteral("&Remote control on"), this);
    m_enabled->setObjectName(QStringLiteral("RemoteEnabled"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("RemotePort"));
    m_port->setRange(1, 65535);
    m_network = new QCheckBox(QStringLiteral("Allow other &devices on the network"), this);
    m_network->setObjectName(QStringLiteral("RemoteNetwork"));
    m_status = label("RemoteStatus", this);
    m_address = label("RemoteAddress", this);
    m_qrCode = label("RemoteQrCode", this);
    m_qrCode->setAlignment(Qt::AlignCenter);
    m_pairingCode = label("RemotePairingCode", this);
    QFont big = m_pairingCode->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    m_pairingCode->setFont(big);
    m_counts = label("RemoteCounts", this);

    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("&Port (TCP and UDP):"), m_port);
    form->addRow(m_network);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Close, this);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] {
        m_error = m_apply(choice());
        refresh();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(m_address);
    layout->addWidget(m_qrCode);
    layout->addWidget(m_pairingCode);
    layout->addWidget(m_counts);
    layout->addWidget(buttons);

    m_countsTimer.setInterval(500);
    connect(&m_countsTimer, &QTimer::timeout, this, [this] { refresh(); });
    m_countsTimer.start();
}

RemoteSettings RemoteDialog::choice() const
{
    RemoteSettings remote;
    remote.Enabled = m_enabled->isChecked();
    remote.Port = quint16(m_port->value());
    remote.Network = m_network->isChecked();
    return remote;
}

void RemoteDialog::showChoice(const RemoteSettings &remote, const QString &error)
{
    m_error = error;
    m_enabled->setChecked(remote.Enabled);
    m_port->setValue(remote.Port);
    m_network->setChecked(remote.Network);
    refresh();
}

void RemoteDialog::refresh()
{
    const bool running = m_server.isRunning();
    const bool network = running && m_server.options().network;
    if (!m_error.isEmpty())
        m_status->setText(QStringLiteral("Not listening: %1").arg(m_error));
    else if (!running)
        m_status->setText(QStringLiteral("The remote is off."));
    else if (network)
        m_status->setText(QStringLiteral("Listening on port %1 for this computer and, once paired, other devices.")
                              .arg(m_server.tcpPort()));
    else
        m_status->setText(QStringLiteral("Listening on port %1 for this computer only: http://127.0.0.1:%1/")
                              .arg(m_server.tcpPort()));

    const QStringList pages = network ? m_server.pageAddresses() : QStringList();
    m_address->setVisible(network);
    m_qrCode->setVisible(network && !pages.isEmpty());
    m_pairingCode->setVisible(network);
    if (network) {
        m_address->setText(pages.isEmpty()
                               ? QStringLiteral("This computer has no network address.")
                               : QStringLiteral("Open on a phone: %1").arg(pages.join(QStringLiteral("  "))));
        const QString shown = m_qrCode->property("page").toString();
        if (!pages.isEmpty() && shown != pages.front()) {
            m_qrCode->setPixmap(QPixmap::fromImage(Remote::QrCodeImage(pages.front(), 4)));
            m_qrCode->setProperty("page", pages.front());
        }
        m_pairingCode->setText(QStringLiteral("Pairing code: %1").arg(m_server.pairingCode()));
    }

    const RemoteServer::Counts &c = m_server.counts();
    m_counts->setText(QStringLiteral("Messages %1: done %2, ignored %3; dropped: malformed %4, too long %5, "
                                     "over the rate %6, refused %7; wrong codes %8, lock-outs %9")
                          .arg(c.received)
                          .arg(c.done)
                          .arg(c.ignored)
                          .arg(c.malformed)
                          .arg(c.oversize)
                          .arg(c.rateDropped)
                          .arg(c.refused)
                          .arg(c.wrongCodes)
                          .arg(c.lockOuts));
    growToFit();
}

void RemoteDialog::growToFit()
{
    // The window's minimum does not follow wrapped text: allowing the network would
    // squeeze the address, the QR code and the counts into the height it had.
    layout()->activate();
    const int w = std::max(width(), minimumSizeHint().width());
    const int h = hasHeightForWidth() ? heightForWidth(w) : sizeHint().height();
    if (w > width() || h > height())
        resize(w, std::max(h, height()));
}

RemoteControl::RemoteControl(PromptControl &control, Settings &settings, QWidget *window)
    : QObject(window), m_settings(settings), m_window(window), m_server(new RemoteServer(control, this))
{ }

// The dialog belongs to the window but reads the server, which goes first.
RemoteControl::~RemoteControl()
{
    delete m_dialog;
}

void RemoteControl::Open()
{
    const RemoteSettings remote = ReadRemoteSettings(m_settings);
    m_server->stop();
    m_startError.clear();
    if (remote.Enabled && !m_server->start({remote.Port, remote.Network}))
        m_startError = m_server->errorString();
}

void RemoteControl::Close()
{
    m_server->stop();
}

QString RemoteControl::Apply(const RemoteSettings &remote)
{
    QString error;
    try {
        WriteRemoteSettings(m_settings, remote);
    } catch (const CorvantaError &e) {
        error = e.text();
    }
    m_server->stop();
    if (remote.Enabled && !m_server->start({remote.Port, remote.Network}))
        error = m_server->errorString();
    m_startError = error;
    return error;
}

void RemoteControl::RemoteControlItemClick()
{
    if (!m_dialog)
        m_dialog = new RemoteDialog(
            *m_server, [this](const RemoteSettings &r) { return Apply(r); }, m_window);
    m_dialog->showChoice(ReadRemoteSettings(m_settings), m_startError);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}
