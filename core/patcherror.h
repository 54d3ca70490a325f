#pragma once

#include <QString>

#include <exception>
#include <string>

namespace tolvane {

// A failure that reaches the user: what was being done, to which file or player row, and
// why it failed, in words a user can act on. It is thrown where a failure happens. It is
// shown where the window meets the update run, or where a command-line program reports;
// code between catches it only to add what it knows (the file or row) or to undo what it
// began, and throws on. (A value that does not convert is a values::ValueError, which the
// conversion turns into a PatchError or a problem of the check, naming the player.)
class PatchError : public std::exception {
public:
    PatchError(QString operation, QString target, QString cause);

    // What was being done, e.g. "Cannot write the team list file".
    const QString& operation() const noexcept { return m_operation; }
    // The path, player row or table the operation worked on; may be empty.
    const QString& target() const noexcept { return m_target; }
    // Why it failed: the system's or SQLite's own message, or our check's finding.
    const QString& cause() const noexcept { return m_cause; }

    // Adds a paragraph to the cause: what else went wrong as the failure was handled. An
    // empty text adds nothing.
    void appendCause(const QString& paragraph);

    // The text shown to the user: operation, target and cause on their own lines.
    QString message() const;

    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_operation;
    QString m_target;
    QString m_cause;
    std::string m_utf8;
};

// The text of any exception for a message: what() decoded as the UTF-8 it is, both
// PatchError's (its message()) and the standard library's.
QString exceptionText(const std::exception& error);

// The text of the C library's errno value, for causes of failed system calls.
QString systemErrorText(int errorNumber);

} // namespace tolvane
