#include "commandline.h"

#include <QFile>

#include <windows.h>
#include <shellapi.h>

QStringList CommandLineArguments(int argc, const char *const *argv)
{
    // Windows keeps a program's command line as UTF-16; argv is that line in
    // the ANSI code page, which turns what the code page lacks into '?' and
    // the rest into bytes that are no UTF-8 (a Chinese folder in -c). The
    // process's own line is taken instead, split as argv is.
    QStringList arguments;
    int count = 0;
    if (LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int a = 0; a < count; ++a)
            arguments.append(QString::fromWCharArray(wide[a]));
        LocalFree(wide);
        return arguments;
    }
    for (int a = 0; a < argc; ++a)
        arguments.append(QString::fromLocal8Bit(argv[a]));
    return arguments;
}

QByteArray CommandLineBytes(const QString &argument)
{
    // A name as Windows' byte interfaces take it, in the ANSI code page, as
    // the serial layer reads a port's name.
    return QFile::encodeName(argument);
}
