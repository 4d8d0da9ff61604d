#include "controls/ToolBarPictures.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

QIcon glyphIcon(const QString &glyph, bool bold, bool italic, bool underline)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(glyph.size() > 1 ? 10 : 15);
    font.setBold(bold || glyph.size() > 1);
    font.setItalic(italic);
    font.setUnderline(underline);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x30, 0x60));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

QIcon pictureIcon(Picture picture)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), 1.2));
    auto page = [&p](QRectF r) {
        QPolygonF shape({r.topLeft(), QPointF(r.right() - 4, r.top()), QPointF(r.right(), r.top() + 4),
                         r.bottomRight(), r.bottomLeft()});
        p.setBrush(Qt::white);
        p.drawPolygon(shape);
    };
    switch (picture) {
    case Picture::Page:
        page(QRectF(4.5, 2.5, 11, 15));
        break;
    case Picture::Folder:
        p.setBrush(QColor(0xf0, 0xc8, 0x50));
        p.drawPolygon(QPolygonF({QPointF(2.5, 5.5), QPointF(7.5, 5.5), QPointF(9.5, 7.5), QPointF(17.5, 7.5),
                                 QPointF(17.5, 15.5), QPointF(2.5, 15.5)}));
        break;
    case Picture::Disk:
        p.setBrush(QColor(0x40, 0x60, 0xa0));
        p.drawRect(QRectF(3.5, 3.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 3.5, 7, 5));
        break;
    case Picture::Printer:
        page(QRectF(6.5, 2.5, 7, 6));
        p.setBrush(QColor(0xb0, 0xb0, 0xb0));
        p.drawRect(QRectF(2.5, 8.5, 15, 6));
        page(QRectF(6.5, 12.5, 7, 5));
        break;
    case Picture::Pages:
        page(QRectF(3.5, 2.5, 9, 12));
        page(QRectF(7.5, 5.5, 9, 12));
        break;
    case Picture::Clipboard:
        p.setBrush(QColor(0xc0, 0x90, 0x50));
        p.drawRect(QRectF(3.5, 3.5, 12, 14));
        page(QRectF(6.5, 6.5, 10, 11));
        break;
    }
    return QIcon(pixmap);
}
