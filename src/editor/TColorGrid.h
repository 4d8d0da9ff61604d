#pragma once

#include <QWidget>

#include <functional>

// The colour dialog's grid: the sixteen palette colours in four rows of four, one of
// them the chosen cell.
class TColorGrid : public QWidget
{
    Q_OBJECT

public:
    explicit TColorGrid(QWidget *parent = nullptr);

    static constexpr int Columns = 4;
    static constexpr int Rows = 4;

    int ForegroundIndex() const { return m_chosen; }
    // Moving the chosen cell reports a change, whoever moves it.
    void SetForegroundIndex(int cell);
    qint32 ForegroundColor() const;
    QRect CellRect(int cell) const;

    std::function<void()> OnChange;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int cellAt(const QPoint &point) const;

    int m_chosen = 0;
};
