#include "formats/ListLabels.h"

#include <QTextBlock>
#include <QTextList>

#include <array>
#include <utility>

namespace ListLabels {

namespace {

QString letters(int n, char16_t a)
{
    QString out;
    while (n > 0) {
        --n;
        out.prepend(QChar(char16_t(a + n % 26)));
        n /= 26;
    }
    return out;
}

QString roman(int n, bool upper)
{
    if (n >= 5000)
        return QStringLiteral("?");
    static const std::array<std::pair<int, const char *>, 13> digits = {{
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"},
    }};
    QString out;
    for (const auto &[value, text] : digits) {
        for (; n >= value; n -= value)
            out += QLatin1StringView(text);
    }
    return upper ? out.toUpper() : out;
}

} // namespace

QString cleanText(const QString &text)
{
    QString clean = text;
    clean.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t') || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC;
    });
    return clean;
}

bool isNumbered(int style)
{
    switch (style) {
    case QTextListFormat::ListDecimal:
    case QTextListFormat::ListLowerAlpha:
    case QTextListFormat::ListUpperAlpha:
    case QTextListFormat::ListLowerRoman:
    case QTextListFormat::ListUpperRoman:
        return true;
    default:
        return false;
    }
}

QString number(int n, int style)
{
    switch (style) {
    case QTextListFormat::ListLowerAlpha: return letters(n, u'a');
    case QTextListFormat::ListUpperAlpha: return letters(n, u'A');
    case QTextListFormat::ListLowerRoman: return roman(n, false);
    case QTextListFormat::ListUpperRoman: return roman(n, true);
    default: return QString::number(n);
    }
}

QTextListFormat listFormat(const Numbering &numbering, int indent)
{
    QTextListFormat format;
    format.setIndent(indent);
    if (!isNumbered(numbering.style)) {
        format.setStyle(QTextListFormat::Style(numbering.style));
        return format;
    }
    if (!numbering.fixed && numbering.hasNumber && numbering.start == 1) {
        format.setStyle(QTextListFormat::Style(numbering.style));
        format.setNumberPrefix(numbering.before);
        format.setNumberSuffix(numbering.after);
        return format;
    }
    // Qt gives a list of undefined style no number of its own: the prefix is the whole label.
    format.setStyle(QTextListFormat::ListStyleUndefined);
    const QString digits = numbering.hasNumber ? number(numbering.start, numbering.style) : QString();
    format.setNumberPrefix(numbering.before + digits);
    format.setNumberSuffix(numbering.after);
    format.setProperty(Style, numbering.style);
    format.setProperty(Number, numbering.start);
    format.setProperty(TextBefore, numbering.before);
    format.setProperty(TextAfter, numbering.after);
    format.setProperty(HasNumber, numbering.hasNumber);
    return format;
}

Numbering numberingOf(const QTextListFormat &format)
{
    Numbering n;
    if (format.style() == QTextListFormat::ListStyleUndefined && format.hasProperty(Style)) {
        n.style = format.intProperty(Style);
        if (!isNumbered(n.style))
            n.style = QTextListFormat::ListDecimal;
        n.start = format.intProperty(Number);
        n.before = format.stringProperty(TextBefore);
        n.after = format.stringProperty(TextAfter);
        n.hasNumber = format.boolProperty(HasNumber);
        n.fixed = true;
        return n;
    }
    n.style = format.style();
    if (n.style == QTextListFormat::ListStyleUndefined)
        n.style = QTextListFormat::ListDisc;
    if (format.hasProperty(QTextFormat::ListNumberPrefix))
        n.before = format.numberPrefix();
    if (format.hasProperty(QTextFormat::ListNumberSuffix))
        n.after = format.numberSuffix();
    return n;
}

QString label(const QTextList *list, const QTextBlock &block)
{
    return list && isNumbered(numberingOf(list->format()).style) ? list->itemText(block) : QString();
}

}
