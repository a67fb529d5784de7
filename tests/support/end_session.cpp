// The Wine check's logoff that another program cancels, as Windows delivers it: QVR's windows
// are asked whether the session may end (WM_QUERYENDSESSION), then told that it does not
// (WM_ENDSESSION with "no"). Wine's own end of session asks and ends one program at a time, so a
// cancelled one never reaches a program that has already been asked.
#include <windows.h>

static BOOL CALLBACK Tell(HWND window, LPARAM) {
    DWORD_PTR answer = 0;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 255);
    if (wcsstr(title, L"QVR 2.0")) {
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000,
                            &answer);
        SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000,
                            &answer);
    }
    return TRUE;
}

int main() {
    EnumWindows(Tell, 0);
    return 0;
}
