#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;

// A status bar of fixed-width text panels addressed by index.
class TStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit TStatusBar(QWidget *parent = nullptr);

    void AddPanel(const QString &text, int width);
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);
    int PanelWidth(int index) const;
    int PanelCount() const { return int(m_panels.size()); }

private:
    std::vector<QLabel *> m_panels;
};
