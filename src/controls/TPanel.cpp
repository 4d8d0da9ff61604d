#include "controls/TPanel.h"

#include <QMouseEvent>

void TPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (OnMouseMove)
        OnMouseMove(event->buttons(), event->modifiers(), event->position().toPoint().x(),
                    event->position().toPoint().y());
}

void TPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (OnMouseUp)
        OnMouseUp(event->button(), event->position().toPoint().x(), event->position().toPoint().y());
}

void TPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    if (OnDblClick)
        OnDblClick();
}
