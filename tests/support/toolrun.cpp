#include "support/toolrun.h"

#include <QBuffer>

namespace tolvane {

ToolResult runTool(ToolRun run, const QStringList& arguments) {
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = run(arguments, out, err);
    return {status, QString::fromUtf8(out.data()), QString::fromLocal8Bit(err.data())};
}

} // namespace tolvane
