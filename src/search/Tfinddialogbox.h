#pragma once

#include <QDialog>

class Tfinddialogbox : public QDialog
{
    Q_OBJECT

public:
    explicit Tfinddialogbox(QWidget *parent = nullptr);
};
