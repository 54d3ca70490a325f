// tolvane-season report: the page holds the check's summary and findings, linked where they
// point, the values the scales clamped marked, and the changes against an earlier roster;
// and the command's exit statuses. The page's tables as a browser shows them are compared
// with the slot's team lists by tests/report/report_browser_test.py.

#include "core/commandline.h"
#include "run/checkcommand.h"
#include "support/foldertree.h"
#include "support/owntemp.h"
#include "support/testgame.h"
#include "support/toolrun.h"
#include "tools/demo/demofolder.h"
#include "tools/season/seasontool.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

ToolResult season(const QStringList& arguments) {
    return runTool(seasontool::run, arguments);
}

// A season of two teams: Ann Lee's speed is beyond its scale, Bob Ray's height no number.
void writeNewSeason(const QString& path) {
    demo::SeasonBuilder builder(path);
    builder.addPlayer("Cats", "Ann Lee", {{"Speed", 150}});
    builder.addPlayer("Cats", "Bob Ray", {{"Height", "tall"}});
    builder.addPlayer("Cats", "Cy Dunn");
    builder.addPlayer("Dogs", "Eli Jones");
}

// The season before: Dan Moss has left since, Cy Dunn has joined, Ann Lee got faster.
void writeOldSeason(const QString& path) {
    demo::SeasonBuilder builder(path);
    builder.addPlayer("Cats", "Ann Lee", {{"Speed", 60}});
    builder.addPlayer("Cats", "Dan Moss");
    builder.addPlayer("Cats", "Bob Ray");
    builder.addPlayer("Dogs", "Eli Jones");
}

// The summary line tolvane-patch --check prints for a game folder holding season.
QString checkSummary(const QString& season) {
    TestGame game;
    writeAll(game.dbPath(), readAll(season));
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    checkcommand::run(game.folder(), false, out, err);
    const QStringList lines = QString::fromUtf8(out.data()).split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.back();
}

// The text of the page between the element with id and the end of its section.
QString sectionOf(const QString& html, const QString& id) {
    const qsizetype start = html.indexOf(QStringLiteral("id=\"%1\"").arg(id));
    if (start < 0)
        return QString();
    return html.mid(start, html.indexOf(QLatin1String("</section>"), start) - start);
}

class SeasonReport : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString html(const QString& name) const { return QString::fromUtf8(readAll(path(name))); }

    QTemporaryDir m_dir;
};

// The summary as --check says it; every problem linked to a player whose anchor is on the
// page; a clamped value marked with the database's value and the rung; nothing fetched.
TEST_F(SeasonReport, HoldsTheSummaryLinkedFindingsAndClampedValues) {
    writeNewSeason(path("new.mdb"));
    const ToolResult result = season({"report", path("new.mdb"), path("report.html")});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    // The problems are said on standard error too.
    EXPECT_TRUE(result.err.contains("1 problem, ")) << result.err.toStdString();
    const QString page = html("report.html");

    const QString summary = checkSummary(path("new.mdb"));
    ASSERT_TRUE(summary.startsWith("1 problem, ")) << summary.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("id=\"summary\">%1</p>").arg(summary)));

    const QString problems = sectionOf(page, "problems");
    const QRegularExpression playerLink(QStringLiteral("href=\"#([^\"]+)\">Bob Ray</a>"));
    const QRegularExpressionMatch link = playerLink.match(problems);
    ASSERT_TRUE(link.hasMatch()) << problems.toStdString();
    EXPECT_TRUE(problems.contains("Height")) << problems.toStdString();
    // The player's anchor is his line among those who do not convert, in his team.
    const QString cats = sectionOf(page, "t0");
    EXPECT_TRUE(cats.startsWith("id=\"t0\"><h3>Cats"));
    EXPECT_TRUE(
        cats.contains(QStringLiteral("<span id=\"%1\">Bob Ray</span>").arg(link.captured(1))))
        << cats.toStdString();
    // Every link of the page goes somewhere on it.
    const QRegularExpression anyLink(QStringLiteral("href=\"#([^\"]+)\""));
    for (const QRegularExpressionMatch& m : anyLink.globalMatch(page))
        EXPECT_TRUE(page.contains(QStringLiteral("id=\"%1\"").arg(m.captured(1))))
            << m.captured(1).toStdString();

    // Ann Lee's speed: 150 in the database, converted as the scale's highest rung, 99.
    const QRegularExpression clamped(QStringLiteral(
        "<td class=\"clamped\" title=\"Speed is 150 in the season database, above the "
        "highest rung of its rating scale, 99: it converts as 99\">([0-9.]+)"));
    const QRegularExpressionMatch speed = clamped.match(cats);
    ASSERT_TRUE(speed.hasMatch()) << cats.toStdString();
    EXPECT_EQ(cats.count("class=\"clamped\""), 1);
    EXPECT_EQ(page.count("class=\"clamped\" title"), 1);

    // One page that needs nothing from elsewhere.
    for (const char* outside : {"src=", "<link", "@import", "url(", "http:", "https:"})
        EXPECT_FALSE(page.contains(QLatin1String(outside), Qt::CaseInsensitive)) << outside;
    EXPECT_TRUE(page.contains("<svg class=\"chart\""));
}

// Against the season before, its roster slot, or the game folder holding the slot: Cy Dunn
// joined, Dan Moss left, Ann Lee's speed changed; Bob Ray, who does not convert now, is not
// counted as gone.
TEST_F(SeasonReport, AgainstAnEarlierRosterListsWhoJoinedAndWhoLeft) {
    writeNewSeason(path("new.mdb"));
    writeOldSeason(path("old.mdb"));
    TestGame old;
    writeAll(old.dbPath(), readAll(path("old.mdb")));
    ASSERT_EQ(old.runUpdate(), "Import Complete!");

    int n = 0;
    for (const QString& against : {path("old.mdb"), old.slot(), old.path()}) {
        SCOPED_TRACE(against.toStdString());
        const QString name = QStringLiteral("report%1.html").arg(n++);
        const ToolResult result =
            season({"report", "--against", against, path("new.mdb"), path(name)});
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
        const QString changes = sectionOf(html(name), "changes");
        EXPECT_TRUE(changes.contains(QRegularExpression(
            "Joined \\(1\\):</span> <a href=\"#t0-r3\">Cy Dunn \\(record 3\\)</a>")))
            << changes.toStdString();
        EXPECT_TRUE(changes.contains("Left (1):</span> Dan Moss (record 2)"))
            << changes.toStdString();
        EXPECT_TRUE(changes.contains(QRegularExpression("Ann Lee \\(record 1\\)</a>: speed "
                                                        "[0-9.]+ <span class=\"arrow\">")))
            << changes.toStdString();
        EXPECT_TRUE(changes.contains("does not convert: Bob Ray (record 3)"))
            << changes.toStdString();
        EXPECT_TRUE(changes.contains("1 joined, 1 left, 1 player changed; 1 team differs, 1 "
                                     "unchanged"))
            << changes.toStdString();
        EXPECT_FALSE(changes.contains("Dogs"));
    }
}

TEST_F(SeasonReport, ExitStatusesAndNothingReplacedOrLeftBehind) {
    writeNewSeason(path("new.mdb"));
    writeAll(path("exists.html"), "precious");
    writeAll(path("text.mdb"), "not a database at all, but long enough to be looked at");
    QDir().mkpath(path("folder"));
    const struct {
        QStringList arguments;
        int status;
    } cases[] = {
        {{"report"}, 2},
        {{"report", path("new.mdb")}, 2},
        {{"report", "--against"}, 2},
        {{"report", path("missing.mdb"), path("out.html")}, 2},
        {{"report", path("folder"), path("out.html")}, 2},
        {{"report", path("new.mdb"), path("exists.html")}, 2},
        {{"report", path("new.mdb"), path("no/such/folder/out.html")}, 2},
        {{"report", "--against", path("missing"), path("new.mdb"), path("out.html")}, 2},
        {{"report", path("text.mdb"), path("out.html")}, 1},
        {{"report", "--against", path("text.mdb"), path("new.mdb"), path("out.html")}, 1},
    };
    const OwnTemporaryFolder temporary(path("tmp"));
    const FolderTree before = snapshotTree(m_dir.path());
    for (const auto& c : cases) {
        const std::string what = c.arguments.join(' ').toStdString();
        const ToolResult result = season(c.arguments);
        EXPECT_EQ(result.status, c.status) << what << "\n" << result.err.toStdString();
        EXPECT_FALSE(result.err.isEmpty()) << what;
        EXPECT_TRUE(result.out.isEmpty()) << what;
        EXPECT_EQ(snapshotTree(m_dir.path()), before) << what;
    }
    EXPECT_TRUE(season({"report", path("text.mdb"), path("out.html")})
                    .err.contains("text.mdb: ", Qt::CaseSensitive));

    // Written: the one file, and nothing left in the temporary folder.
    const ToolResult done = season({"report", path("new.mdb"), path("out.html")});
    EXPECT_EQ(done.status, 0);
    FolderTree after = snapshotTree(m_dir.path());
    EXPECT_EQ(after.erase("out.html"), 1u);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(QDir(path("tmp")).isEmpty());
}

} // namespace
