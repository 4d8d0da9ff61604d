#include "formats/RtfTokenizer.h"

#include <limits>

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isTextByte(unsigned char c)
{
    return c != '\\' && c != '{' && c != '}' && (c >= 0x20 || c == '\t');
}

} // namespace

RtfTokenizer::RtfTokenizer(QByteArrayView data)
    : m_begin(data.data()), m_p(data.data()), m_end(data.data() + data.size())
{
}

RtfToken RtfTokenizer::next()
{
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '{') {
            ++m_p;
            return RtfToken(RtfToken::GroupOpen);
        }
        if (c == '}') {
            ++m_p;
            return RtfToken(RtfToken::GroupClose);
        }
        if (c == '\\') {
            ++m_p;
            if (m_p >= m_end)
                break;
            return isLetter(*m_p) ? controlWord() : controlSymbol();
        }
        if (isTextByte(static_cast<unsigned char>(c)))
            return text();
        ++m_p;  // CR, LF and stray control bytes carry no content
    }
    return RtfToken(RtfToken::End);
}

RtfToken RtfTokenizer::controlWord()
{
    RtfToken token(RtfToken::ControlWord);
    const char *start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    token.word = std::string_view(start, size_t(m_p - start));

    const bool negative = m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1]);
    if (negative)
        ++m_p;
    if (m_p < m_end && isDigit(*m_p)) {
        long long value = 0;
        while (m_p < m_end && isDigit(*m_p)) {
            if (value < std::numeric_limits<int>::max())
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        if (value > std::numeric_limits<int>::max())
            value = std::numeric_limits<int>::max();
        token.param = int(negative ? -value : value);
        token.hasParam = true;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;

    if (token.word == "bin" && token.param > 0) {
        const qsizetype left = m_end - m_p;
        if (token.param > left) {
            m_binaryTruncated = true;
            m_p = m_end;
        } else {
            m_p += token.param;
        }
    }
    return token;
}

RtfToken RtfTokenizer::controlSymbol()
{
    const char c = *m_p++;
    if (c == '\'') {
        const int high = m_p < m_end ? hexValue(m_p[0]) : -1;
        const int low = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
        if (high >= 0 && low >= 0) {
            m_p += 2;
            RtfToken token(RtfToken::HexByte);
            token.byte = static_cast<unsigned char>(high * 16 + low);
            return token;
        }
        RtfToken broken(RtfToken::ControlSymbol);  // a broken \' escape, ignored by the reader
        broken.symbol = c;
        return broken;
    }
    if (c == '\r' || c == '\n') {
        RtfToken token(RtfToken::ControlWord);  // a backslash before a line end means \par
        token.word = "par";
        return token;
    }
    RtfToken token(RtfToken::ControlSymbol);
    token.symbol = c;
    return token;
}

RtfToken RtfTokenizer::text()
{
    RtfToken token(RtfToken::Text);
    token.text = m_p;
    while (m_p < m_end && isTextByte(static_cast<unsigned char>(*m_p)))
        ++m_p;
    token.length = m_p - token.text;
    return token;
}
