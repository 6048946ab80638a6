#pragma once

#include <QString>

// Text from outside (a path, an argument, a line of a file) as a message may
// show it on a terminal: every control character as \xHH (ESC as \x1b), so
// that no escape sequence in it reaches the terminal or a journal. A line
// break stays one where the message may span lines (keepLineBreaks).
QString PrintableText(const QString &text, bool keepLineBreaks = true);
