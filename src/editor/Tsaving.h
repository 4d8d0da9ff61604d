#pragma once

#include <QDialog>
#include <QPointer>

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
    // Repainted when the window closes.
    QPointer<QWidget> Editor;

    void FormActivate();
    void Timer1Timer();

    static constexpr int StepWait = 100000;

protected:
    void showEvent(QShowEvent *event) override;
};
