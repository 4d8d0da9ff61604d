#include "editor/ScriptDocument.h"

#include <QTextBlock>
#include <QTextDocument>

#include <optional>

namespace {

qint32 bgrOf(const QColor &colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

// Remembers the first value seen and reports any value that differs from it.
template<typename T>
struct Same
{
    std::optional<T> first;
    bool differs(const T &value)
    {
        if (!first) {
            first = value;
            return false;
        }
        return *first != value;
    }
};

bool blockFormatted(const QTextBlock &block)
{
    if (block.textList())
        return true;
    const QTextBlockFormat format = block.blockFormat();
    const Qt::Alignment horizontal = format.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    if (format.hasProperty(QTextFormat::BlockAlignment) && horizontal != Qt::AlignLeft
        && horizontal != Qt::AlignLeading)
        return true;
    return format.indent() != 0 || !qIsNull(format.leftMargin()) || !qIsNull(format.rightMargin())
        || !qIsNull(format.textIndent()) || format.background().style() != Qt::NoBrush;
}

}

bool ScriptDocument::Modified() const
{
    return m_document->isModified();
}

void ScriptDocument::SetModified(bool modified)
{
    m_document->setModified(modified);
}

bool ScriptDocument::HoldsFormatting(const QTextDocument &document, qint32 automaticColour)
{
    const QFont base = document.defaultFont();
    Same<QString> face;
    Same<double> size;
    Same<qint32> colour;
    // Runs, not characters: a long script in one look is one run per paragraph.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (blockFormatted(block))
            return true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QFont font = format.font().resolve(base);
            if (font.bold() || font.italic() || font.underline() || font.strikeOut()
                || format.background().style() != Qt::NoBrush
                || format.verticalAlignment() != QTextCharFormat::AlignNormal)
                return true;
            const double points
                = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : font.pointSizeF();
            const qint32 shown
                = format.foreground().style() == Qt::NoBrush ? automaticColour : bgrOf(format.foreground().color());
            if (face.differs(font.family()) || size.differs(points) || colour.differs(shown))
                return true;
        }
    }
    return false;
}
