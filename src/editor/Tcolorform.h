#pragma once

#include <QDialog>

class Colours;
class QPushButton;
class QRadioButton;
class TColorGrid;

// The "Colours" dialog: a grid of sixteen colours for the script's text or its
// background, and the Invert button. Every choice takes effect at once; OK and Cancel
// only close the dialog.
class Tcolorform : public QDialog
{
    Q_OBJECT

public:
    explicit Tcolorform(QWidget *parent = nullptr);

    TColorGrid *ColorGrid1;
    QRadioButton *RadioButton1, *RadioButton3;
    QPushButton *BitBtn1, *BitBtn2, *Button1;

    // The commands the dialog's choices act through; set by whoever shows it.
    Colours *Target = nullptr;

    void ColorGrid1Change();
    void RadioButton1Click();
    void RadioButton3Click();
    void Button1Click();

private:
    void chooseCellOf(qint32 colour);
};
