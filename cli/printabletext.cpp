#include "printabletext.h"

QString PrintableText(const QString &text, bool keepLineBreaks)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && (c != QLatin1Char('\n') || !keepLineBreaks))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}
