#pragma once

#include <QDialog>

class QProgressBar;
class QTimer;

// The small window that fills a progress bar after a script was saved.
class Tsaving : public QDialog
{
    Q_OBJECT

public:
    explicit Tsaving(QWidget *parent = nullptr);

    QProgressBar *ProgressBar1;
    QTimer *Timer1;
};
