#include "support/toolrun.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace tolvane {

ToolResult runTool(ToolRun run, const QStringList& arguments) {
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = run(arguments, out, err);
    return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

QStringList expectHelp(ToolRun run, const QString& program, const QStringList& commands) {
    const ToolResult main = runTool(run, {QStringLiteral("--help")});
    EXPECT_EQ(main.status, 0);
    QStringList lines = main.out.split(QLatin1Char('\n'));
    for (const QString& command : commands) {
        const ToolResult help = runTool(run, {command, QStringLiteral("--help")});
        EXPECT_EQ(help.status, 0) << command.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: %1 %2").arg(program, command)))
            << command.toStdString();
        EXPECT_TRUE(help.out.contains(QLatin1String("Exit status: 0"))) << command.toStdString();
        lines << help.out.split(QLatin1Char('\n'));
    }
    return lines;
}

} // namespace tolvane
