#include "search/Treplacedialogbox.h"

Treplacedialogbox::Treplacedialogbox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Treplacedialogbox"));
    setWindowTitle(QStringLiteral("Replace"));
}
