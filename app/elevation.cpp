#include "app/elevation.h"

#include <QCoreApplication>
#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>

#include <shellapi.h>
#endif

namespace tolvane::elevation {

#ifdef Q_OS_WIN

namespace {

bool runsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated != 0;
}

// One argument as the C runtime of the new process splits its command line: in quotes when
// it holds a blank or a quote, with each quote and the backslashes before it escaped.
QString quoted(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
        !argument.contains(QLatin1Char('\t')) && !argument.contains(QLatin1Char('"')))
        return argument;
    QString result = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"'))
            result += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        else
            result += QString(backslashes, QLatin1Char('\\'));
        backslashes = 0;
        result += c;
    }
    result += QString(backslashes * 2, QLatin1Char('\\'));
    result += QLatin1Char('"');
    return result;
}

} // namespace

bool canRestartElevated() {
    return !runsElevated();
}

bool restartElevated(const QStringList& arguments) {
    QStringList parts;
    for (const QString& argument : arguments)
        parts << quoted(argument);
    const std::wstring program =
        QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
    const std::wstring parameters = parts.join(QLatin1Char(' ')).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(QDir::currentPath()).toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

#else

bool canRestartElevated() {
    return false;
}

bool restartElevated(const QStringList&) {
    return false;
}

#endif

} // namespace tolvane::elevation
