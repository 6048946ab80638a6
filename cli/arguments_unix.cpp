#include "commandline.h"

namespace {

// A lone low surrogate stands for one byte that was not UTF-8.
constexpr char16_t kEscapedByteBase = 0xDC00;

} // namespace

QStringList CommandLineArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int a = 0; a < argc; ++a) {
        const QByteArray raw(argv[a]);
        QString text;
        for (qsizetype i = 0; i < raw.size();) {
            const uchar lead = uchar(raw.at(i));
            const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
            if (length > 0 && i + length <= raw.size()) {
                const QByteArray sequence = raw.mid(i, length);
                const QString decoded = QString::fromUtf8(sequence);
                if (decoded.toUtf8() == sequence) {
                    text += decoded;
                    i += length;
                    continue;
                }
            }
            text += QChar(char16_t(kEscapedByteBase + lead));
            ++i;
        }
        arguments.append(text);
    }
    return arguments;
}

QByteArray CommandLineBytes(const QString &argument)
{
    QByteArray bytes;
    QString run;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument.at(i);
        // The low half of a character beyond U+FFFF is no escaped byte.
        const bool paired = i > 0 && argument.at(i - 1).isHighSurrogate();
        if (!paired && c.unicode() >= kEscapedByteBase + 0x80 && c.unicode() <= kEscapedByteBase + 0xFF) {
            bytes += run.toUtf8();
            run.clear();
            bytes += char(c.unicode() - kEscapedByteBase);
        } else {
            run += c;
        }
    }
    return bytes + run.toUtf8();
}
