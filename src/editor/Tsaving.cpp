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
    connect(Timer1, &QTimer::timeout, this, &Tsaving::Timer1Timer);
}

void Tsaving::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void Tsaving::FormActivate()
{
    ProgressBar1->setValue(0);
    Timer1->start();
}

void Tsaving::Timer1Timer()
{
    Timer1->stop();
    for (int step = 1; step <= 100; ++step) {
        volatile int wait = 0;
        while (wait < StepWait)
            wait = wait + 1;
        ProgressBar1->setValue(step);
        ProgressBar1->repaint();
    }
    close();
    if (Editor)
        Editor->update();
}
