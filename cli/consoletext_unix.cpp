#include "consoletext.h"

// A terminal here reads UTF-8 as every other stream does.
bool WriteConsoleText(FILE *, const QString &)
{
    return false;
}
