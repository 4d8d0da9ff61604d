#include "help/TAboutBox.h"

#include "core/Version.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFont(QGuiApplication::font());
    setFixedSize(297, 228);

    ProductName = new QLabel(QStringLiteral("Corvanta ") + ProgramVersion(), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    ProductName->setFont(font);
    ProductName->setAlignment(Qt::AlignCenter);
    ProductName->setGeometry(8, 24, width() - 16, 32);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setGeometry((width() - 75) / 2, height() - 48, 75, 25);
    // Escape closes a dialog as its cancel button would; Enter presses the default one.
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
