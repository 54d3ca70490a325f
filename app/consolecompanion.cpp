// tolvane-patch.com, the console companion of tolvane-patch.exe.
//
// The exe is a window program: a command prompt starts it and returns at once, so the report
// of "tolvane-patch --check" would land after the next prompt, if anywhere. A prompt looks for
// NAME.com before NAME.exe, so "tolvane-patch --check" runs this console program instead. It
// starts the exe beside it with the same arguments, passes on what the exe writes, waits for
// it and ends with its exit status.
//
// The exe's output comes through pipes rather than the console's own handles: that works
// whatever the console, and lets a console show the exe's text as the exe meant it. The
// exe writes UTF-8, while a console reads bytes in its own, OEM code page; so text for a
// console is decoded here and written as Unicode (bytes that cannot be UTF-8, as from an
// older exe in the system's ANSI code page, are read as that). Output to a file or a pipe
// passes on unchanged, byte for byte.

#include <windows.h>

#include <string>

namespace tolvane {
namespace {

// The exit status when the exe cannot be started: the one --check gives for a command line
// it cannot carry out.
constexpr DWORD kCannotStart = 2;

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return usable(handle) && GetConsoleMode(handle, &mode);
}

// The length of the longest start of bytes[0, size) that ends on a whole UTF-8 sequence, or
// -1 when the bytes cannot be UTF-8. A sequence cut at the end is left for the next read.
int wholeUtf8(const char* bytes, int size) {
    int i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80                    ? 1
                           : lead >= 0xC2 && lead <= 0xDF ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
        if (length == 0)
            return -1;
        for (int k = 1; k < length; ++k) {
            if (i + k == size)
                return i;
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return -1;
        }
        i += length;
    }
    return i;
}

// Passes one of the exe's output streams on to one of this program's.
struct Relay {
    HANDLE from = nullptr;
    HANDLE to = nullptr;

    // Until the stream's first byte that cannot be UTF-8, its text is taken as UTF-8; from
    // then on as the ANSI code page. Text in that code page outside ASCII is almost never
    // valid UTF-8, and ASCII reads the same in both.
    bool utf8 = true;
    std::string pending;

    void writeToConsole(const char* bytes, int size) {
        pending.append(bytes, static_cast<size_t>(size));
        int whole = static_cast<int>(pending.size());
        if (utf8) {
            whole = wholeUtf8(pending.data(), whole);
            if (whole < 0) {
                utf8 = false;
                whole = static_cast<int>(pending.size());
            }
        }
        if (whole == 0)
            return;
        const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
        std::wstring text(static_cast<size_t>(whole), L'\0');
        const int length =
            MultiByteToWideChar(codePage, 0, pending.data(), whole, text.data(), whole);
        pending.erase(0, static_cast<size_t>(whole));
        DWORD written = 0;
        WriteConsoleW(to, text.data(), static_cast<DWORD>(length), &written, nullptr);
    }

    void run() {
        const bool console = isConsole(to);
        bool writing = usable(to);
        char buffer[4096];
        DWORD got = 0;
        // Read to the end even when the output has gone (a reader of a pipe that quit), so
        // that the exe never blocks on a full pipe.
        while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            if (!writing)
                continue;
            if (console) {
                writeToConsole(buffer, static_cast<int>(got));
            } else {
                DWORD written = 0;
                for (DWORD done = 0; writing && done < got; done += written)
                    writing = WriteFile(to, buffer + done, got - done, &written, nullptr);
            }
        }
        if (console && !pending.empty()) {
            // A sequence cut off at the very end: shown as the ANSI code page reads it.
            utf8 = false;
            writeToConsole("", 0);
        }
    }

    static DWORD WINAPI thread(void* relay) {
        static_cast<Relay*>(relay)->run();
        return 0;
    }
};

void say(const std::wstring& text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (isConsole(err)) {
        WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    if (usable(err))
        WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text != nullptr ? text : L"error " + std::to_wstring(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    return message;
}

// This program's own path with the extension .exe instead of its own.
std::wstring windowProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t name = path.find_last_of(L"\\/") + 1;
    const size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && dot >= name)
        path.erase(dot);
    return path + L".exe";
}

// What follows the program's name on this program's command line, exactly as typed: the
// name ends at the closing quote when it starts with one, or else at the first blank.
const wchar_t* argumentsAsTyped() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    return line;
}

// A pipe whose write end the exe inherits.
bool makePipe(HANDLE& read, HANDLE& write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0))
        return false;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

DWORD run() {
    const std::wstring program = windowProgramPath();
    std::wstring commandLine = L"\"" + program + L"\"" + argumentsAsTyped();

    // Started on its own (from Explorer), this program has a console that nobody typed in,
    // and writes into it: the exe then runs as if started directly, and that console closes.
    // Output that goes elsewhere (a program that reads it) is passed on in any case.
    DWORD processes[2];
    const bool ownConsole =
        GetConsoleProcessList(processes, 2) == 1 && isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
    if (ownConsole)
        FreeConsole();

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Never freed: a relay still waiting on a pipe when this program ends uses its own.
    Relay& out = *new Relay;
    Relay& err = *new Relay;
    HANDLE outWrite = nullptr;
    HANDLE errWrite = nullptr;
    if (!ownConsole) {
        if (!makePipe(out.from, outWrite) || !makePipe(err.from, errWrite)) {
            say(L"tolvane-patch: cannot make a pipe: " + systemMessage(GetLastError()) + L"\n");
            return kCannotStart;
        }
        out.to = GetStdHandle(STD_OUTPUT_HANDLE);
        err.to = GetStdHandle(STD_ERROR_HANDLE);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        if (usable(startup.hStdInput))
            SetHandleInformation(startup.hStdInput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
    }

    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &started)) {
        say(L"tolvane-patch: cannot start " + program + L": " + systemMessage(GetLastError()) +
            L"\n");
        return kCannotStart;
    }
    CloseHandle(started.hThread);
    // Its window may come to the front, as it would started from the prompt directly.
    AllowSetForegroundWindow(started.dwProcessId);

    HANDLE relays[2] = {};
    if (!ownConsole) {
        // The exe holds the write ends now: the pipes end when it does.
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        relays[0] = CreateThread(nullptr, 0, Relay::thread, &out, 0, nullptr);
        relays[1] = CreateThread(nullptr, 0, Relay::thread, &err, 0, nullptr);
    }

    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = kCannotStart;
    GetExitCodeProcess(started.hProcess, &status);
    CloseHandle(started.hProcess);
    if (!ownConsole) {
        // What the exe wrote is in the pipes already. A program the exe started may have
        // inherited a pipe and hold it open; it is not waited for long.
        WaitForMultipleObjects(2, relays, TRUE, 5000);
    }
    return status;
}

} // namespace
} // namespace tolvane

int main() {
    // Ctrl+C at the prompt ends this program, which returns the prompt; the window, if the
    // exe opened one, goes on and finishes what it is doing.
    return static_cast<int>(tolvane::run());
}
