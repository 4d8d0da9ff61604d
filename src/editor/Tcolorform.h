#pragma once

#include <QDialog>

class Tcolorform : public QDialog
{
    Q_OBJECT

public:
    explicit Tcolorform(QWidget *parent = nullptr);
};
