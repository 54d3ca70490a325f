#include "core/patcherror.h"

#include <QDir>

#include <cstring>

namespace tolvane {

namespace {

// A path is shown as the system writes it (with backslashes on Windows); a player row or a
// statement as it is.
QString shownTarget(const QString& target) {
    return QDir::isAbsolutePath(target) ? QDir::toNativeSeparators(target) : target;
}

} // namespace

PatchError::PatchError(QString operation, QString target, QString cause)
    : m_operation(std::move(operation))
    , m_target(std::move(target))
    , m_cause(std::move(cause))
    , m_utf8(message().toStdString()) {}

void PatchError::appendCause(const QString& paragraph) {
    if (paragraph.isEmpty())
        return;
    m_cause += m_cause.isEmpty() ? paragraph : QStringLiteral("\n\n") + paragraph;
    m_utf8 = message().toStdString();
}

QString PatchError::message() const {
    QString text = m_operation;
    if (!m_target.isEmpty())
        text += QStringLiteral(":\n") + shownTarget(m_target);
    if (!m_cause.isEmpty())
        text += QStringLiteral("\n\n") + m_cause;
    return text;
}

QString exceptionText(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

QString systemErrorText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

} // namespace tolvane
