#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// Upper and lower case as the script's 8-bit code page knows them: one character for
// one, so positions stay where they were, and a letter of the code page keeps its
// case when its other case has no place in the code page (the micro sign).
namespace TextCase {

QChar upper(QChar ch);
QChar lower(QChar ch);
QString upper(QStringView text);
QString lower(QStringView text);

// The character whose case decides the case command: the second one, unless it is
// below '?' (a blank, a digit, most punctuation); then the first from the third on
// that is not; failing that the second after all. A single character decides alone.
// An empty text has none (a null character).
QChar decidingCharacter(QStringView selection);

// The selection in upper case when its deciding character is a lower-case letter,
// otherwise in lower case.
QString toggled(QStringView selection);

}
