#pragma once

#include <QDialog>

class Treplacedialogbox : public QDialog
{
    Q_OBJECT

public:
    explicit Treplacedialogbox(QWidget *parent = nullptr);
};
