#pragma once

#include <QDialog>

// Our own help on the spelling check, shown when the engine's help file is not there.
QString SpellingHelpText();

class SpellingHelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit SpellingHelpWindow(QWidget *parent = nullptr);
};
