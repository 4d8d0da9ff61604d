#include "controls/ToolBarPictures.h"

#include <QAction>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QToolButton>

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

namespace {

struct ThemeIcon
{
    const char *object; // a tool button's or menu item's name
    const char *icon; // the freedesktop icon name
};

const ThemeIcon ThemeIcons[] = {
    {"SpeedButton9", "document-new"},
    {"FileNewItem", "document-new"},
    {"SpeedButton10", "document-open"},
    {"FileOpenItem", "document-open"},
    {"SpeedButton11", "document-save"},
    {"FileSaveItem", "document-save"},
    {"FileSaveAsItem", "document-save-as"},
    {"Insert2", "insert-text"},
    {"SpeedButton12", "document-print"},
    {"FilePrintItem", "document-print"},
    {"FileExitItem", "application-exit"},
    {"SpeedButton13", "edit-undo"},
    {"EditUndoItem", "edit-undo"},
    {"SpeedButton14", "edit-cut"},
    {"EditCutItem", "edit-cut"},
    {"SpeedButton15", "edit-copy"},
    {"EditCopyItem", "edit-copy"},
    {"SpeedButton16", "edit-paste"},
    {"EditPasteItem", "edit-paste"},
    {"SpeedButton22", "edit-find"},
    {"Search1", "edit-find"},
    {"SpeedButton24", "edit-find-replace"},
    {"Replace1", "edit-find-replace"},
    {"N6", "edit-select-all"},
    {"BoldButton", "format-text-bold"},
    {"Bold1", "format-text-bold"},
    {"UnderlineButton", "format-text-underline"},
    {"Underline1", "format-text-underline"},
    {"ItalicButton", "format-text-italic"},
    {"Italic1", "format-text-italic"},
    {"AlignLeft1", "format-justify-left"},
    {"AlignRight1", "format-justify-right"},
    {"AlignCentre1", "format-justify-center"},
    {"SpeedButton25", "tools-check-spelling"},
    {"Spell1", "tools-check-spelling"},
    {"SpeedButton26", "media-playback-start"},
    {"Prompt1", "media-playback-start"},
    {"Introduction1", "help-contents"},
    {"HelpAboutItem", "help-about"},
};

}

void UseThemeIcons(QWidget *window)
{
    for (const ThemeIcon &entry : ThemeIcons) {
        const QString name = QString::fromLatin1(entry.icon);
        if (!QIcon::hasThemeIcon(name))
            continue;
        const QString object = QString::fromLatin1(entry.object);
        if (auto *button = window->findChild<QToolButton *>(object))
            button->setIcon(QIcon::fromTheme(name));
        if (auto *action = window->findChild<QAction *>(object))
            action->setIcon(QIcon::fromTheme(name));
    }
}
