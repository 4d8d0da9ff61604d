#include "editor/TColorGrid.h"

#include "controls/TRichEdit.h"
#include "editor/ColourPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TColorGrid::TColorGrid(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void TColorGrid::SetForegroundIndex(int cell)
{
    if (cell < 0 || cell >= int(PaletteColours.size()) || cell == m_chosen)
        return;
    m_chosen = cell;
    update();
    if (OnChange)
        OnChange();
}

qint32 TColorGrid::ForegroundColor() const
{
    return PaletteColours[m_chosen];
}

QRect TColorGrid::CellRect(int cell) const
{
    const int w = width() / Columns;
    const int h = height() / Rows;
    return QRect((cell % Columns) * w, (cell / Columns) * h, w, h);
}

int TColorGrid::cellAt(const QPoint &point) const
{
    for (int cell = 0; cell < int(PaletteColours.size()); ++cell) {
        if (CellRect(cell).contains(point))
            return cell;
    }
    return -1;
}

void TColorGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (int cell = 0; cell < int(PaletteColours.size()); ++cell) {
        const QRect r = CellRect(cell);
        painter.fillRect(r.adjusted(1, 1, -1, -1), TRichEdit::ToQColor(PaletteColours[cell]));
        painter.setPen(Qt::gray);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    // The chosen cell: a black and a white frame, so it shows on every colour,
    // and the letters FG in the colour that contrasts with the cell.
    const QRect r = CellRect(m_chosen);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(r.adjusted(2, 2, -2, -2));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(r.adjusted(5, 5, -5, -5));
    const QColor fill = TRichEdit::ToQColor(PaletteColours[m_chosen]);
    painter.setPen(fill.lightness() > 128 ? Qt::black : Qt::white);
    painter.drawText(r, Qt::AlignCenter, QStringLiteral("FG"));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TColorGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        SetForegroundIndex(cellAt(event->position().toPoint()));
}

void TColorGrid::keyPressEvent(QKeyEvent *event)
{
    const int column = m_chosen % Columns;
    const int row = m_chosen / Columns;
    switch (event->key()) {
    case Qt::Key_Left:
        if (column > 0)
            SetForegroundIndex(m_chosen - 1);
        break;
    case Qt::Key_Right:
        if (column < Columns - 1)
            SetForegroundIndex(m_chosen + 1);
        break;
    case Qt::Key_Up:
        if (row > 0)
            SetForegroundIndex(m_chosen - Columns);
        break;
    case Qt::Key_Down:
        if (row < Rows - 1)
            SetForegroundIndex(m_chosen + Columns);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
