// The text conversions on arbitrary text: HexToInt, HexTextToBytes,
// IntToHex and the decimal leading-digits conversion, each checked against
// what it promises.

#include "fuzzcheck.h"
#include "hexconv.h"

#include <QString>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void checkHexToInt(const QString &text)
{
    // Independent of the parser: -1 for any stranger, otherwise the last
    // eight digits, spaces ignored.
    uint32_t expected = 0;
    bool valid = true;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == ' ')
            continue;
        if (!isHexDigit(c)) {
            valid = false;
            break;
        }
        expected = expected * 16 + uint32_t(HexCharValue(char(c)));
    }
    FUZZ_CHECK(HexToInt(text) == (valid ? int(expected) : -1));
}

void checkHexTextToBytes(const QString &text)
{
    QByteArray bytes("stale");
    const int n = HexTextToBytes(text, bytes);
    FUZZ_CHECK(n == bytes.size());
    FUZZ_CHECK(n <= text.size() / 2);
    // The bytes survive the way back to text and again to bytes.
    QString again;
    for (const char b : bytes)
        again += IntToHex(uchar(b));
    QByteArray twice;
    FUZZ_CHECK(HexTextToBytes(again, twice) == n && twice == bytes);
}

void checkDecimalLeadingDigits(const QByteArray &latin1)
{
    // strtoll reads the same shape in the C locale; only its clamping
    // differs, at the 64-bit limits.
    const std::string s(latin1.constData(), size_t(latin1.size()));
    errno = 0;
    const long long parsed = std::strtoll(s.c_str(), nullptr, 10);
    const long long clamped = parsed < INT_MIN ? INT_MIN : parsed > INT_MAX ? INT_MAX : parsed;
    FUZZ_CHECK(DecimalLeadingDigits(QString::fromLatin1(latin1)) == int(clamped));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));

    // The input as narrow text, and as wide text two bytes a character.
    const QString narrow = QString::fromLatin1(raw);
    const QString wide = QString(reinterpret_cast<const QChar *>(raw.constData()), raw.size() / 2);
    for (const QString &text : {narrow, wide}) {
        checkHexToInt(text);
        checkHexTextToBytes(text);
        (void)DecimalLeadingDigits(text);
    }
    // strtoll stops at a NUL; compare up to it.
    checkDecimalLeadingDigits(raw.left(qsizetype(std::strlen(raw.constData()))));

    if (size >= 4) {
        int32_t value;
        std::memcpy(&value, data, sizeof value);
        const QString hex = IntToHex(value);
        FUZZ_CHECK(hex.size() >= 2 && hex.size() <= 8);
        FUZZ_CHECK(HexToInt(hex) == value);
        FUZZ_CHECK((value < 0 || value > 255) || hex.size() == 2);
    }
    return 0;
}
