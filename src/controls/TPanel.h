#pragma once

#include <QWidget>

#include <functional>

// A plain panel that reports its mouse events.
class TPanel : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    std::function<void(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, int x, int y)> OnMouseUp;
    std::function<void()> OnDblClick;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
