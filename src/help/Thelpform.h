#pragma once

#include <QDialog>

class Thelpform : public QDialog
{
    Q_OBJECT

public:
    explicit Thelpform(QWidget *parent = nullptr);
};
