#pragma once

#include <QDateTime>
#include <QWidget>

#include <functional>

class TRichEdit;

// The help viewer: the help document, read-only, in a window of its own that stays
// open beside the script until Escape hides it.
class Thelpform : public QWidget
{
    Q_OBJECT

public:
    explicit Thelpform(QWidget *parent = nullptr);

    TRichEdit *RichEdit1;

    // Runs the viewer's own event handlers and shows what they throw; the main window
    // gives its error guard. Without one, errors are shown in a plain error box.
    std::function<void(const std::function<void()> &)> Guard;

    // Where the help document is read from: the current directory, or, when it is not
    // there, the program's folder. The current directory's path when neither has it.
    static QString DocumentPath();

    // Reads the help document afresh and shows its top. Throws CorvantaError when it
    // cannot be read; the viewer then keeps what it showed.
    void LoadDocument();
    // Shows the viewer in front of the program's windows and reads the document afresh
    // (the activation that follows does not read it again).
    void ShowDocument();
    // Each activation reads the document again when the file has changed since it was
    // last read, keeping the reader's place.
    void FormActivate();
    void RichEdit1KeyPress(QChar &key);

protected:
    bool event(QEvent *event) override;

private:
    struct FileStamp
    {
        QString path;
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp &) const = default;
    };
    static FileStamp stampOf(const QString &path);
    void runGuarded(const std::function<void()> &handler);

    FileStamp m_lastRead;
    bool m_read = false;
    bool m_showing = false;
};
