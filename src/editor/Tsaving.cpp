#include "editor/Tsaving.h"

#include <QProgressBar>
#include <QTimer>

Tsaving::Tsaving(QWidget *parent)
    : QDialog(parent), ProgressBar1(new QProgressBar(this)), Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("Tsaving"));
    setWindowTitle(QStringLiteral("Saving"));
    setGeometry(265, 236, 280, 65);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setGeometry(16, 20, 248, 20);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
}
