#include "help/Thelpform.h"

Thelpform::Thelpform(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Thelpform"));
    setWindowTitle(QStringLiteral("Help!"));
}
