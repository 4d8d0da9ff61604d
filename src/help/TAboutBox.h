#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the product line and OK, which Enter and Escape press as well.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProductName;
    QPushButton *OKButton;
};
