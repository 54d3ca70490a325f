// The authors' tools as Windows runs them: console programs whose manifest lets them take
// paths beyond 260 characters, that take Windows paths with accents in their names.
#include "support/foldertree.h"
#include "support/testgame.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

#include <windows.h>

using namespace tolvane;

namespace {

const char* const kTools[] = {TOLVANE_TOLVANE_SEASON_EXE, TOLVANE_TOLVANE_ROSTER_EXE,
                              TOLVANE_JET2SQLITE_EXE};

class ToolResources : public testing::TestWithParam<const char*> {
protected:
    const QString m_path = QString::fromUtf8(GetParam());
};

// A console program: a prompt waits for it and shows its output, and it opens no window.
TEST_P(ToolResources, IsAConsoleProgram) {
    const QByteArray exe = readAll(m_path);
    ASSERT_GT(exe.size(), 0x200);
    const auto at = [&](qsizetype offset, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(exe[offset + i]);
        return value;
    };
    const qsizetype pe = at(0x3c, 4);
    ASSERT_EQ(exe.mid(pe, 4), QByteArray("PE\0\0", 4));
    // The subsystem stands 68 bytes into the optional header, after the 20 of the file header.
    EXPECT_EQ(at(pe + 4 + 20 + 68, 2), quint32(IMAGE_SUBSYSTEM_WINDOWS_CUI));
}

TEST_P(ToolResources, ManifestTakesLongPathsAndRunsAsInvoker) {
    HMODULE module = LoadLibraryExW(m_path.toStdWString().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetLastError();
    HRSRC found = FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const QString manifest =
        QString::fromUtf8(static_cast<const char*>(LockResource(LoadResource(module, found))),
                          qsizetype(SizeofResource(module, found)));
    FreeLibrary(module);
    EXPECT_TRUE(manifest.contains(">true</longPathAware>")) << qPrintable(manifest);
    EXPECT_TRUE(manifest.contains("level=\"asInvoker\""));

    // The system's own reading of it: a manifest it cannot read keeps a program from starting.
    const std::wstring path = m_path.toStdWString();
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE activation = CreateActCtxW(&context);
    EXPECT_NE(activation, INVALID_HANDLE_VALUE) << GetLastError();
    if (activation != INVALID_HANDLE_VALUE)
        ReleaseActCtx(activation);
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolResources, testing::ValuesIn(kTools));

struct Finished {
    int status;
    QString out;
    QString err;
};

Finished run(const char* exe, const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromUtf8(exe), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Each tool on a path with a drive letter and backslashes, names with accents, and more
// than 260 characters, as a prompt passes them; its report names them in UTF-8.
TEST(WindowsPaths, EveryToolTakesDriveLettersBackslashesAccentsAndLongPaths) {
    TestGame game;
    game.writeDemo(2, 4);
    ASSERT_EQ(game.runUpdate(), QStringLiteral("Import Complete!"));
    QString deep = game.file("Sæson Ærø");
    while (deep.size() < 300)
        deep += QStringLiteral("/Ordner mit einem langen Namen für Müller");
    ASSERT_TRUE(QDir().mkpath(deep));
    const auto native = [&](const QString& name) {
        return QDir::toNativeSeparators(deep + '/' + name);
    };
    ASSERT_TRUE(QRegularExpression(R"(^[A-Z]:\\)").match(native("x")).hasMatch());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOLVANE_JET_FIXTURES "/season-a.mdb"),
                            deep + "/Saison Zoë.mdb"));
    const QString team = QDir(game.slot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).first();
    ASSERT_TRUE(QFile::copy(game.slot() + '/' + team + '/' + team + "_List.tvp",
                            deep + "/Mannschaft Müller_List.tvp"));

    const Finished converted =
        run(TOLVANE_JET2SQLITE_EXE, {native("Saison Zoë.mdb"), native("Saison Zoë.sqlite")});
    EXPECT_EQ(converted.status, 0) << converted.err.toStdString();
    EXPECT_TRUE(QFile::exists(deep + "/Saison Zoë.sqlite"));

    const Finished exported =
        run(TOLVANE_TOLVANE_SEASON_EXE, {"export", native("Saison Zoë.mdb"), native("CSV ø")});
    EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
    const Finished imported =
        run(TOLVANE_TOLVANE_SEASON_EXE, {"import", native("CSV ø"), native("Zoë.mdb")});
    EXPECT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.startsWith(native("Zoë.mdb") + ": ")) << imported.out.toStdString();

    const Finished dumped =
        run(TOLVANE_TOLVANE_ROSTER_EXE, {"dump", native("Mannschaft Müller_List.tvp")});
    EXPECT_EQ(dumped.status, 0) << dumped.err.toStdString();
    EXPECT_GE(dumped.out.count('\n'), 5) << dumped.out.toStdString();
    const Finished missing =
        run(TOLVANE_TOLVANE_ROSTER_EXE, {"dump", native("Fehlt Müller_List.tvp")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.err.contains(native("Fehlt Müller_List.tvp"))) << missing.err.toStdString();
}

} // namespace
