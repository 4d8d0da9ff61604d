#include "search/Tfinddialogbox.h"

Tfinddialogbox::Tfinddialogbox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfinddialogbox"));
    setWindowTitle(QStringLiteral("Find"));
}
