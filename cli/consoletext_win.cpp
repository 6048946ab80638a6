#include "consoletext.h"

#include <io.h>
#include <windows.h>

TextWay TextWayFor(unsigned long fileType, bool consoleMode)
{
    return fileType == FILE_TYPE_CHAR && consoleMode ? TextWay::ConsoleUtf16 : TextWay::Utf8Bytes;
}

bool WriteConsoleText(FILE *stream, const QString &text)
{
    // A program without a console (the window's) has no descriptor here.
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return false;
    DWORD mode = 0;
    if (TextWayFor(GetFileType(handle), GetConsoleMode(handle, &mode) != 0) != TextWay::ConsoleUtf16)
        return false;
    // What was written through the C runtime comes first.
    std::fflush(stream);
    const auto *characters = reinterpret_cast<const wchar_t *>(text.utf16());
    DWORD left = DWORD(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(handle, characters, left, &written, nullptr) || written == 0)
            break; // a console that went away takes nothing more
        characters += written;
        left -= written;
    }
    return true;
}
