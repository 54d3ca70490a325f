// Holds files open as the game does while it runs: for reading, sharing them with readers
// only, so that no other program may replace or delete them. For the test that runs the
// patch on a game folder whose files are held so (heldopen.sh). Windows only.
//
// Usage: holdopen.exe STOP-FILE FILE...
// Opens every FILE, says "holding N files" on its output, and lets them go and exits once
// STOP-FILE exists. Exits 1 when a file cannot be opened.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: holdopen.exe STOP-FILE FILE...\n", stderr);
        return 2;
    }
    std::vector<HANDLE> held;
    for (int i = 2; i < argc; ++i) {
        const HANDLE handle = CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            std::fwprintf(stderr, L"holdopen: cannot open %ls (error %lu)\n", argv[i],
                          GetLastError());
            return 1;
        }
        held.push_back(handle);
    }
    std::printf("holding %d files\n", static_cast<int>(held.size()));
    std::fflush(stdout);
    while (GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES)
        Sleep(100);
    for (const HANDLE handle : held)
        CloseHandle(handle);
    return 0;
}
