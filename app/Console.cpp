#include "Console.h"

#include <cstdio>
#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#endif

namespace Console {

QStringList Arguments(int argc, char *argv[]) {
    QStringList args;
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    int count = 0;
    if (LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            args << QString::fromWCharArray(wide[i]);
        LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
#endif
    return args;
}

void Print(const QString &text, bool error) {
#ifdef Q_OS_WIN
    HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    bool attached = false;
    if (!out || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return; // started from Explorer: nobody to tell
        attached = true;
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    }
    DWORD mode = 0, written = 0;
    if (out != INVALID_HANDLE_VALUE) {
        if (GetConsoleMode(out, &mode)) {
            WriteConsoleW(out, reinterpret_cast<const wchar_t *>(text.utf16()), DWORD(text.size()),
                          &written, nullptr);
        } else {
            const QByteArray bytes = text.toUtf8(); // the manifest's code page
            WriteFile(out, bytes.constData(), DWORD(bytes.size()), &written, nullptr);
        }
    }
    if (attached) {
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        FreeConsole();
    }
#else
    std::FILE *stream = error ? stderr : stdout;
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
#endif
}

} // namespace Console
