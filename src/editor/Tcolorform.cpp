#include "editor/Tcolorform.h"

Tcolorform::Tcolorform(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tcolorform"));
    setWindowTitle(QStringLiteral("Colours"));
}
