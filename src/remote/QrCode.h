#pragma once

#include <QImage>
#include <QString>

namespace Remote {

// The text as a QR code, black modules on white with a quiet zone, each module `scale`
// pixels; a null image when the text does not fit a code.
QImage QrCodeImage(const QString &text, int scale = 6);

} // namespace Remote
