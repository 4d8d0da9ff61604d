#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Up-down arrows bound to an edit box: each click steps the number in the box by
// Increment within Min..Max and writes it back, which fires the box's change handler.
class TUpDown : public QWidget
{
    Q_OBJECT

public:
    explicit TUpDown(QLineEdit *associate, QWidget *parent = nullptr);

    int Min = 0;
    int Max = 100;
    int Increment = 10;

    void Step(int direction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_associate;
};
