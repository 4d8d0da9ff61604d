#pragma once

#include <QString>
#include <QtGlobal>

class QTextDocument;

// The script being edited: the document the editor shows, the file it belongs to, the
// form that file was read in, and whether it holds unsaved changes. Save writes the form
// the script was read in, so that a text file stays a text file.
class ScriptDocument
{
public:
    enum class Form {
        RichText, // read from RTF, or new
        PlainText, // read from a text file
        Imported, // made from another program's file, which is never written over
    };

    explicit ScriptDocument(QTextDocument *document) : m_document(document) { }

    static QString UntitledName() { return QStringLiteral("Untitled"); }

    QTextDocument *Document() const { return m_document; }
    const QString &FileName() const { return m_fileName; }
    void SetFileName(const QString &path) { m_fileName = path; }
    bool Untitled() const { return m_fileName == UntitledName(); }

    Form ReadForm() const { return m_form; }
    // Also forgets the operator's choice to keep plain text: it was made for another file.
    void SetForm(Form form)
    {
        m_form = form;
        m_plainTextChosen = false;
    }
    bool Plain() const { return m_form != Form::RichText; }
    // The operator answered that this plain-text script stays plain text.
    bool PlainTextChosen() const { return m_plainTextChosen; }
    void ChoosePlainText() { m_plainTextChosen = true; }

    bool Modified() const;
    void SetModified(bool modified);

    // True when the document holds formatting that a plain-text file would drop: styles,
    // more than one face, size or colour, alignment other than left, lists, indents or
    // shading. Text without a colour of its own counts as automaticColour (0x00BBGGRR).
    static bool HoldsFormatting(const QTextDocument &document, qint32 automaticColour);

private:
    QTextDocument *m_document;
    QString m_fileName = UntitledName();
    Form m_form = Form::RichText;
    bool m_plainTextChosen = false;
};
