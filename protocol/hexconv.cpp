#include "hexconv.h"

#include <QVarLengthArray>
#include <array>
#include <cstdint>
#include <limits>

QString IntToHex(int value)
{
    // Unsigned arithmetic gives negative values a defined meaning (their
    // two's complement) and keeps every digit in 0-15.
    uint32_t rest = static_cast<uint32_t>(value);
    QVarLengthArray<int, 8> digits;
    do {
        digits.append(int(rest % 16));
        rest /= 16;
    } while (rest != 0);
    while (digits.size() <= 1)
        digits.append(0);

    QString text;
    text.reserve(digits.size());
    for (auto it = digits.crbegin(); it != digits.crend(); ++it)
        text.append(QLatin1Char(char(*it < 10 ? '0' + *it : *it + 55)));
    return text;
}

int HexToInt(const QString &text)
{
    // Unsigned, so that long texts wrap instead of overflowing.
    uint32_t acc = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == ' ')
            continue;
        // Only ASCII can be a hex digit; narrowing anything wider could fake one.
        const int digit = c < 0x80 ? HexCharValue(char(c)) : 16;
        if (digit == 16)
            return -1;
        acc = (acc << 4) + uint32_t(digit);
    }
    return static_cast<int>(acc);
}

int HexCharValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return 16;
}

int HexTextToBytes(const QString &text, QByteArray &bytes)
{
    const qsizetype len = text.size();
    bytes.resize(len / 2);
    // Characters are narrowed to their low 8 bits, as the line's bytes are.
    const auto narrow = [&text](qsizetype i) { return char(text.at(i).unicode() & 0xFF); };

    qsizetype i = 0;
    qsizetype j = 0;
    while (i < len) {
        const char h = narrow(i);
        if (h == ' ') {
            ++i;
            continue;
        }
        ++i;
        if (i >= len)
            break; // a lone trailing digit is dropped
        const char l = narrow(i);
        const int hv = HexCharValue(h);
        const int lv = HexCharValue(l);
        if (hv == 16 || lv == 16)
            break;
        bytes[j] = char(hv * 16 + lv);
        ++i;
        ++j;
    }
    bytes.resize(j);
    return int(j);
}

char16_t FoldFullWidth(char16_t c)
{
    if (c >= u'\uFF10' && c <= u'\uFF19')
        return char16_t(u'0' + (c - u'\uFF10'));
    switch (c) {
    case u'\uFF0B':
        return u'+';
    case u'\uFF0D':
        return u'-';
    case u'\u3000':
        return u' ';
    default:
        return c;
    }
}

DecimalScan ScanDecimal(const QString &text, qsizetype from)
{
    DecimalScan scan;
    qsizetype i = from;
    const qsizetype len = text.size();
    bool negative = false;
    if (i < len) {
        const char16_t sign = FoldFullWidth(text.at(i).unicode());
        if (sign == u'+' || sign == u'-') {
            negative = sign == u'-';
            ++i;
        }
    }

    // Accumulate the magnitude up to one past the int range, then clamp.
    const int64_t limit = negative ? -int64_t(std::numeric_limits<int>::min())
                                   : int64_t(std::numeric_limits<int>::max());
    int64_t magnitude = 0;
    for (; i < len; ++i) {
        const char16_t c = FoldFullWidth(text.at(i).unicode());
        if (c < '0' || c > '9')
            break;
        scan.hasDigits = true;
        magnitude = qMin(magnitude * 10 + (c - '0'), limit + 1); // keeps reading without overflowing
    }
    scan.clamped = magnitude > limit;
    magnitude = qMin(magnitude, limit);
    scan.value = static_cast<int>(negative ? -magnitude : magnitude);
    scan.end = i;
    return scan;
}

int DecimalLeadingDigits(const QString &text)
{
    qsizetype i = 0;
    const auto isSpace = [](char16_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(FoldFullWidth(text.at(i).unicode())))
        ++i;
    return ScanDecimal(text, i).value;
}

QString ReceivedByteText(unsigned char byte)
{
    // Built once: the receive path formats every byte on the line.
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int b = 0; b < 256; ++b)
            t[b] = QString::asprintf("%02X ", b);
        return t;
    }();
    return texts[byte];
}
