#include "editor/Tcolorform.h"

#include "editor/ColourPalette.h"
#include "editor/Colours.h"
#include "editor/TColorGrid.h"

#include <QPushButton>
#include <QRadioButton>

Tcolorform::Tcolorform(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ColorGrid1(new TColorGrid(this)),
      RadioButton1(new QRadioButton(QStringLiteral("Text Colour"), this)),
      RadioButton3(new QRadioButton(QStringLiteral("Background Colour"), this)),
      BitBtn1(new QPushButton(QStringLiteral("OK"), this)),
      BitBtn2(new QPushButton(QStringLiteral("Cancel"), this)),
      Button1(new QPushButton(QStringLiteral("Invert"), this))
{
    setObjectName(QStringLiteral("Tcolorform"));
    setWindowTitle(QStringLiteral("Colours"));
    setFixedSize(351, 214);

    ColorGrid1->setObjectName(QStringLiteral("ColorGrid1"));
    ColorGrid1->setGeometry(16, 16, 176, 152);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(208, 24, 136, 20);
    RadioButton1->setChecked(true);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton3->setGeometry(208, 52, 136, 20);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(224, 96, 89, 25);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(16, 180, 89, 25);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(120, 180, 89, 25);
    BitBtn1->setDefault(true);

    ColorGrid1->OnChange = [this] { ColorGrid1Change(); };
    connect(RadioButton1, &QRadioButton::clicked, this, &Tcolorform::RadioButton1Click);
    connect(RadioButton3, &QRadioButton::clicked, this, &Tcolorform::RadioButton3Click);
    connect(Button1, &QPushButton::clicked, this, &Tcolorform::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void Tcolorform::ColorGrid1Change()
{
    if (Target)
        Target->ChooseColour(ColorGrid1->ForegroundColor(), RadioButton1->isChecked());
}

void Tcolorform::chooseCellOf(qint32 colour)
{
    // A colour outside the palette leaves the chosen cell where it is.
    const int cell = PaletteCell(colour);
    if (cell >= 0)
        ColorGrid1->SetForegroundIndex(cell);
}

void Tcolorform::RadioButton1Click()
{
    if (Target)
        chooseCellOf(Target->BaseTextColour());
}

void Tcolorform::RadioButton3Click()
{
    if (Target)
        chooseCellOf(Target->BackgroundColour());
}

void Tcolorform::Button1Click()
{
    if (Target)
        Target->Inverse();
}
