#pragma once

#include <QString>

// Text from outside (a path, an argument, a line of a file) as a message may
// show it on a terminal: every control character but the line break as
// \xHH (ESC as \x1b), so that no escape sequence in it reaches the terminal.
QString PrintableText(const QString &text);
