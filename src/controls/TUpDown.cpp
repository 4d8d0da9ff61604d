#include "controls/TUpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QLineEdit *associate, QWidget *parent)
    : QWidget(parent), m_associate(associate)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int direction : {1, -1}) {
        auto *button = new QToolButton(this);
        button->setArrowType(direction > 0 ? Qt::UpArrow : Qt::DownArrow);
        button->setFixedSize(15, 12);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setObjectName(direction > 0 ? QStringLiteral("UpDown1Up") : QStringLiteral("UpDown1Down"));
        connect(button, &QToolButton::clicked, this, [this, direction] { Step(direction); });
        layout->addWidget(button);
    }
    // The arrow keys in the box step it too.
    associate->installEventFilter(this);
}

void TUpDown::Step(int direction)
{
    bool ok = false;
    int position = m_associate->text().toInt(&ok);
    if (!ok)
        position = Min;
    position = std::clamp(position + direction * Increment, Min, Max);
    m_associate->setText(QString::number(position));
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
