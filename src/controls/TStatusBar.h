#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;
class QProgressBar;

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
    // Widens a panel, if need be, so that the text fits it whole.
    void FitPanel(int index, const QString &text);
    int PanelCount() const { return int(m_panels.size()); }

    // A progress bar after the panels, hidden until a long command shows it. Shown and
    // moved at once: the command runs without the event loop.
    void ShowProgress(int percent);
    void HideProgress();
    QProgressBar *ProgressBar() const { return m_progress; }

private:
    std::vector<QLabel *> m_panels;
    QProgressBar *m_progress = nullptr;
};
