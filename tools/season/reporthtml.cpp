#include "tools/season/reporthtml.h"

#include "core/wording.h"
#include "db/seasonschema.h"
#include "tools/season/reportassets.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tolvane {

namespace season {

namespace {

using Side = TeamComparison::Side;

// text for HTML, in an element or a quoted attribute. Control characters, which no page
// may hold, become U+FFFD.
QString esc(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) ||
                (c.unicode() >= 0x7F && c.unicode() < 0xA0))
                out += QChar(0xFFFD);
            else
                out += c;
        }
    }
    return out;
}

QString fixed(double value, int decimals = 2) {
    return QString::number(value, 'f', decimals);
}

// Exactly as the database holds it: 29.9999 must not read as 30.
QString exact(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString teamId(std::size_t team) {
    return QStringLiteral("t%1").arg(team);
}

QString playerId(std::size_t team, int record) {
    return QStringLiteral("t%1-r%2").arg(team).arg(record);
}

QString link(const QString& id, const QString& text) {
    return QStringLiteral("<a href=\"#%1\">%2</a>").arg(id, esc(text));
}

// Where the report's links go: each team's section, each player's row by his name as the
// season's row gives it (the first of a name).
class Anchors {
public:
    explicit Anchors(const std::vector<ReportTeam>& teams) {
        for (std::size_t t = 0; t < teams.size(); ++t) {
            m_teams.insert(teams[t].name, t);
            QHash<QString, int>& players = m_players[teams[t].name];
            for (const ReportPlayer& p : teams[t].players)
                players.insert(p.name, p.record);
            for (const UnconvertedPlayer& p : teams[t].unconverted)
                players.insert(p.name, p.record);
            // insert() keeps the last of a name; a link goes to the first.
            for (auto it = teams[t].players.rbegin(); it != teams[t].players.rend(); ++it)
                players.insert(it->name, it->record);
        }
    }

    QString team(const QString& team) const {
        const auto it = m_teams.constFind(team);
        return it == m_teams.constEnd() ? QString() : teamId(*it);
    }
    QString player(const QString& team, const QString& name) const {
        const auto t = m_teams.constFind(team);
        if (t == m_teams.constEnd())
            return QString();
        const QHash<QString, int>& players = m_players[team];
        const auto p = players.constFind(name);
        return p == players.constEnd() ? QString() : playerId(*t, *p);
    }

private:
    QHash<QString, std::size_t> m_teams;
    QHash<QString, QHash<QString, int>> m_players;
};

void findingsTable(QString& out, const std::vector<InputFinding>& findings, const char* kind,
                   const Anchors& anchors) {
    out += QLatin1String("<div class=\"scroll\"><table class=\"findings sortable\"><thead><tr>"
                         "<th tabindex=\"0\" data-type=\"text\">team</th>"
                         "<th tabindex=\"0\" data-type=\"text\">player</th>"
                         "<th tabindex=\"0\" data-type=\"text\">column</th>"
                         "<th tabindex=\"0\" data-type=\"text\">reason</th></tr></thead><tbody>");
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const InputFinding& f = findings[i];
        const QString teamLink = anchors.team(f.team);
        const QString playerLink = anchors.player(f.team, f.player);
        out += QStringLiteral("<tr class=\"%1\" id=\"%1-%2\"><td>%3</td><td>%4</td><td>%5</td>"
                              "<td>%6</td></tr>\n")
                   .arg(QLatin1String(kind))
                   .arg(i + 1)
                   .arg(teamLink.isEmpty() ? esc(f.team) : link(teamLink, f.team),
                        playerLink.isEmpty() ? esc(f.player) : link(playerLink, f.player),
                        esc(f.column), esc(f.reason));
    }
    out += QLatin1String("</tbody></table></div>\n");
}

void findingsSection(QString& out, const ReportContent& c, const Anchors& anchors) {
    out += QStringLiteral("<section class=\"block\" id=\"problems\"><h2>Problems (%1)</h2>\n")
               .arg(c.problems.size());
    if (c.problems.empty()) {
        out += QLatin1String("<p class=\"none\">None: nothing keeps the update from "
                             "starting.</p>\n");
    } else {
        out += QLatin1String("<p class=\"note\">Each keeps the update from starting; it "
                             "writes nothing until every one is mended.</p>\n");
        findingsTable(out, c.problems, "problem", anchors);
    }
    out += QStringLiteral("</section>\n<section class=\"block\" id=\"warnings\">"
                          "<h2>Warnings (%1)</h2>\n")
               .arg(c.warnings.size());
    if (c.warnings.empty()) {
        out += QLatin1String("<p class=\"none\">None.</p>\n");
    } else {
        // A long list stays folded, so that the rest of the report is in sight.
        out += QStringLiteral("<details%1><summary>%2 of what the update accepts without a "
                              "word</summary>\n")
                   .arg(c.warnings.size() <= 10 ? QStringLiteral(" open") : QString(),
                        counted(qsizetype(c.warnings.size()), "warning", "warnings"));
        findingsTable(out, c.warnings, "warning", anchors);
        out += QLatin1String("</details>\n");
    }
    out += QLatin1String("</section>\n");
}

// The chart's horizontal scale of overall ratings, in the SVG's units.
struct ChartScale {
    static constexpr int kLeft = 190, kRight = 180, kPlot = 640, kRow = 22, kTop = 26;
    double low = 0;
    double high = 1;
    double step = 1;

    double x(double v) const { return kLeft + (v - low) / (high - low) * kPlot; }
};

// One team's row of the chart: its name, the line, the band, the dot and the figures.
void chartRow(QString& out, const ReportTeam& team, std::size_t t, const TeamStrength& s, double y,
              const ChartScale& scale) {
    const double bandFrom = scale.x(std::max(scale.low, s.mean - s.deviation));
    const double bandTo = scale.x(std::min(scale.high, s.mean + s.deviation));
    // The team's name goes in last: a text put in by arg() is never looked at again.
    out += QStringLiteral("<g><title>%1: mean %2 of %3 players, standard deviation %4, lowest "
                          "%5, highest %6</title><a href=\"#%7\"><text x=\"%8\" y=\"%9\" "
                          "text-anchor=\"end\" dominant-baseline=\"middle\">%1</text></a>")
               .arg(esc(team.name), fixed(s.mean), QString::number(s.counted), fixed(s.deviation),
                    fixed(s.lowest, 1), fixed(s.highest, 1), teamId(t),
                    QString::number(ChartScale::kLeft - 10), fixed(y, 1));
    out += QStringLiteral("<line class=\"range\" x1=\"%1\" y1=\"%3\" x2=\"%2\" y2=\"%3\"/>"
                          "<rect class=\"spread\" x=\"%4\" y=\"%5\" width=\"%6\" "
                          "height=\"10\" rx=\"3\"/>"
                          "<circle class=\"mean\" cx=\"%7\" cy=\"%3\" r=\"4.5\"/>")
               .arg(fixed(scale.x(s.lowest), 1), fixed(scale.x(s.highest), 1), fixed(y, 1),
                    fixed(bandFrom, 1), fixed(y - 5, 1), fixed(std::max(1.0, bandTo - bandFrom), 1),
                    fixed(scale.x(s.mean), 1));
    out += QStringLiteral("<text class=\"figure\" x=\"%1\" y=\"%2\" "
                          "dominant-baseline=\"middle\">%3 &#177; %4 (%5&#8211;%6)%7</text>"
                          "</g>\n")
               .arg(QString::number(ChartScale::kLeft + ChartScale::kPlot + 12), fixed(y, 1),
                    fixed(s.mean), fixed(s.deviation), fixed(s.lowest, 1), fixed(s.highest, 1),
                    s.counted < TeamStrength::kBest ? QStringLiteral(", %1 players").arg(s.counted)
                                                    : QString());
}

// A dot plot: per team, in order of strength, the mean overall rating of its best players,
// a band of one standard deviation either side, and a line from the lowest to the highest.
void chart(QString& out, const std::vector<ReportTeam>& teams,
           const std::vector<TeamStrength>& strengths) {
    std::vector<std::size_t> order;
    for (std::size_t t = 0; t < teams.size(); ++t) {
        if (strengths[t].counted > 0)
            order.push_back(t);
    }
    out += QLatin1String("<section class=\"block\" id=\"balance\"><h2>Balance of the "
                         "league</h2>\n");
    if (order.empty()) {
        out += QLatin1String("<p class=\"note\">No team has a player that converts.</p>"
                             "</section>\n");
        return;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return strengths[a].mean > strengths[b].mean;
    });
    ChartScale scale{strengths[order.front()].lowest, strengths[order.front()].highest};
    double league = 0;
    for (const std::size_t t : order) {
        scale.low = std::min(scale.low, strengths[t].lowest);
        scale.high = std::max(scale.high, strengths[t].highest);
        league += strengths[t].mean;
    }
    league /= double(order.size());
    // Whole numbers at the ends, halves where the league is close together.
    scale.step = scale.high - scale.low > 2 ? 1.0 : 0.5;
    scale.low = std::floor(scale.low / scale.step) * scale.step;
    scale.high = std::max(std::ceil(scale.high / scale.step) * scale.step, scale.low + scale.step);

    out += QStringLiteral(
               "<p class=\"note\">The strength of each team: the <b>dot</b> is the mean "
               "overall rating of its best %1 players (all of them where it has fewer), the "
               "<b>band</b> one standard deviation of those ratings either side of it, the "
               "<b>line</b> from the lowest to the highest of them. The dashed line is the "
               "league's mean, %2. Strongest first.</p>\n")
               .arg(TeamStrength::kBest)
               .arg(fixed(league));
    using C = ChartScale;
    const int height = C::kTop + int(order.size()) * C::kRow + 8;
    out += QStringLiteral("<svg class=\"chart\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                          "aria-label=\"Strength of each team\">\n")
               .arg(C::kLeft + C::kPlot + C::kRight)
               .arg(height);
    for (double v = scale.low; v <= scale.high + 1e-9; v += scale.step) {
        out += QStringLiteral("<line class=\"axis\" x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\"/>"
                              "<text class=\"tick\" x=\"%1\" y=\"14\" text-anchor=\"middle\">"
                              "%4</text>\n")
                   .arg(fixed(scale.x(v), 1))
                   .arg(C::kTop - 6)
                   .arg(height - 4)
                   .arg(fixed(v, 1));
    }
    for (std::size_t row = 0; row < order.size(); ++row)
        chartRow(out, teams[order[row]], order[row], strengths[order[row]],
                 C::kTop + double(row) * C::kRow + C::kRow / 2.0, scale);
    out += QStringLiteral("<line class=\"league\" x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\"/>\n"
                          "</svg>\n</section>\n")
               .arg(fixed(scale.x(league), 1))
               .arg(C::kTop - 4)
               .arg(height - 4);
}

QString clampTitle(const ClampedValue& c) {
    const bool below = c.value < c.rung;
    return QStringLiteral("%1 is %2 in the season database, %3 the %4 rung of its rating "
                          "scale, %5: it converts as %5")
        .arg(seasonschema::kRatingsColumns[c.column].name, exact(c.value),
             below ? QStringLiteral("below") : QStringLiteral("above"),
             below ? QStringLiteral("lowest") : QStringLiteral("highest"), exact(c.rung));
}

// The width of each column of the team tables in characters: the record, then
// reportFields(), each as long as its longest value in the season, a name at most 24.
std::vector<int> columnWidths(const std::vector<ReportTeam>& teams) {
    std::vector<int> widths(reportFields().size() + 1, 2);
    for (const ReportTeam& team : teams) {
        for (const ReportPlayer& p : team.players) {
            widths[0] = std::max(widths[0], int(QString::number(p.record).size()));
            for (qsizetype f = 0; f < p.values.size(); ++f)
                widths[std::size_t(f) + 1] =
                    std::max(widths[std::size_t(f) + 1], int(p.values[f].size()));
        }
    }
    widths[1] = std::min(widths[1], 24);
    return widths;
}

// Appends text, escaped for HTML, to a page in UTF-8; plain ASCII, as numbers are, as it is.
void append(QByteArray& out, const QString& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('&') &&
               c != QLatin1Char('<') && c != QLatin1Char('>') && c != QLatin1Char('"');
    });
    out += plain ? text.toLatin1() : esc(text).toUtf8();
}

// A team's section; its rows go straight into the page's bytes, which for a season of
// 10,000 players are most of it.
void teamSection(QByteArray& page, std::size_t t, const ReportTeam& team, const TeamStrength& s,
                 const std::vector<int>& widths) {
    const std::span<const QLatin1String> fields = reportFields();
    QString out = QStringLiteral("<section class=\"block team\" id=\"%1\"><h3>%2<small>%3")
                      .arg(teamId(t), esc(team.name),
                           counted(qsizetype(team.players.size()), "player", "players"));
    if (s.counted > 0)
        out += QStringLiteral(" &#183; best %1: mean overall %2, %3&#8211;%4, standard "
                              "deviation %5")
                   .arg(QString::number(s.counted), fixed(s.mean), fixed(s.lowest, 1),
                        fixed(s.highest, 1), fixed(s.deviation));
    out += QLatin1String("</small></h3>\n");
    if (!team.unconverted.empty()) {
        out += QLatin1String("<p class=\"unconverted\">Not converted, so not in the table (see "
                             "<a href=\"#problems\">the problems</a>): ");
        for (std::size_t i = 0; i < team.unconverted.size(); ++i) {
            const UnconvertedPlayer& p = team.unconverted[i];
            out += QStringLiteral("%1<span id=\"%2\">%3</span> (record %4)")
                       .arg(i ? QStringLiteral(", ") : QString(), playerId(t, p.record),
                            esc(p.name), QString::number(p.record));
        }
        out += QLatin1String("</p>\n");
    }
    if (team.players.empty()) {
        page += (out + QLatin1String("</section>\n")).toUtf8();
        return;
    }
    // A fixed layout: every team's table has the same columns, as wide as the longest value
    // of each in the season, and the browser need not measure every cell to lay them out.
    out += QStringLiteral("<table class=\"players sortable\" data-team=\"%1\"><colgroup>")
               .arg(esc(team.name));
    for (const int chars : widths)
        out += QStringLiteral("<col style=\"width: calc(%1ch + 9px)\">").arg(chars);
    out += QLatin1String("</colgroup><thead><tr><th tabindex=\"0\" data-type=\"num\" "
                         "data-field=\"record\"><span>record</span></th>");
    for (const QLatin1String field : fields) {
        const bool text =
            field == QLatin1String("fullName") || field == QLatin1String("preferredPos");
        // The name's header reads across, the narrow columns' upwards.
        out += QStringLiteral("<th tabindex=\"0\" data-type=\"%1\" data-field=\"%2\"%3>"
                              "<span>%2</span></th>")
                   .arg(text ? QLatin1String("text") : QLatin1String("num"), field,
                        field == QLatin1String("fullName") ? QLatin1String(" class=\"across\"")
                                                           : QLatin1String());
    }
    out += QLatin1String("</tr></thead><tbody>\n");
    page += out.toUtf8();
    const QByteArray rowId = "<tr id=\"t" + QByteArray::number(qulonglong(t)) + "-r";
    for (const ReportPlayer& p : team.players) {
        // Cells and rows leave out their end tags, as HTML allows: a tenth less to read in a
        // season of 10,000 players.
        const QByteArray record = QByteArray::number(p.record);
        page += rowId + record + "\"><td>" + record;
        for (qsizetype f = 0; f < p.values.size(); ++f) {
            const QLatin1String field = fields[std::size_t(f)];
            const auto clamp = std::find_if(p.clamped.begin(), p.clamped.end(),
                                            [&](const auto& c) { return c.field == field; });
            if (clamp != p.clamped.end())
                page += "<td class=\"clamped\" title=\"" + esc(clampTitle(*clamp)).toUtf8() + "\">";
            else if (f < 2)
                page += "<td class=\"text\">";
            else
                page += "<td>";
            append(page, p.values[f]);
        }
        page += '\n';
    }
    page += "</tbody></table></section>\n";
}

// Players of a comparison. Those of this season link to their rows and go by the records
// their table shows: the list compared holds only the players that convert.
QString names(const std::vector<rosterdiff::ListedPlayer>& players, std::size_t t,
              const ReportTeam* team) {
    QStringList shown;
    for (const rosterdiff::ListedPlayer& p : players) {
        const bool listed = team && p.record >= 1 && p.record <= team->players.size();
        const int record = listed ? team->players[p.record - 1].record : int(p.record);
        const QString text = QStringLiteral("%1 (record %2)").arg(p.label, QString::number(record));
        shown << (listed ? link(playerId(t, record), text) : esc(text));
    }
    return shown.join(QStringLiteral(", "));
}

void comparisonSection(QString& out, const Comparison& c, const std::vector<ReportTeam>& teams) {
    QHash<QString, std::size_t> index;
    for (std::size_t t = 0; t < teams.size(); ++t)
        index.insert(teams[t].name, t);
    qsizetype joined = 0, left = 0, changed = 0;
    for (const TeamComparison& team : c.teams) {
        joined += qsizetype(team.differences.added.size());
        left += qsizetype(team.differences.removed.size());
        changed += qsizetype(team.differences.changed.size());
    }
    out += QStringLiteral("<section class=\"block changes\" id=\"changes\"><h2>Changes against "
                          "%1</h2>\n<p class=\"note\">Compared with %2, player by player as "
                          "<code>tolvane-roster diff</code> compares them: %3 joined, %4 left, "
                          "%5 changed; %6 %7, %8 unchanged.</p>\n")
               .arg(esc(QFileInfo(c.against).fileName()), esc(c.described), QString::number(joined),
                    QString::number(left), counted(changed, "player", "players"),
                    counted(qsizetype(c.teams.size()), "team", "teams"),
                    c.teams.size() == 1 ? QStringLiteral("differs") : QStringLiteral("differ"),
                    QString::number(c.unchanged));
    for (const QString& note : c.notes)
        out += QStringLiteral("<p class=\"note\">%1</p>\n").arg(esc(note));
    for (const TeamComparison& team : c.teams) {
        const auto at = index.constFind(team.team);
        const bool here = at != index.constEnd();
        const std::size_t t = here ? *at : 0;
        out += QStringLiteral("<h3>%1%2</h3>\n")
                   .arg(here ? link(teamId(t), team.team) : esc(team.team),
                        team.side == Side::OnlyNew   ? QStringLiteral("<small>a new team</small>")
                        : team.side == Side::OnlyOld ? QStringLiteral("<small>gone</small>")
                                                     : QString());
        const rosterdiff::ListDifferences& d = team.differences;
        const ReportTeam* current = here ? &teams[t] : nullptr;
        if (!d.added.empty())
            out += QStringLiteral("<p><span class=\"joined\">Joined (%1):</span> %2</p>\n")
                       .arg(d.added.size())
                       .arg(names(d.added, t, current));
        if (!d.removed.empty())
            out += QStringLiteral("<p><span class=\"left\">Left (%1):</span> %2</p>\n")
                       .arg(d.removed.size())
                       .arg(names(d.removed, t, nullptr));
        if (!team.notCompared.empty())
            out += QStringLiteral("<p>Not compared, as this season's player of the name does "
                                  "not convert: %1</p>\n")
                       .arg(names(team.notCompared, t, nullptr));
        if (!d.changed.empty()) {
            out += QStringLiteral("<p><span class=\"changed\">Changed (%1):</span></p><ul>\n")
                       .arg(d.changed.size());
            for (const rosterdiff::ChangedPlayer& p : d.changed) {
                QStringList changes;
                for (const rosterdiff::FieldChange& f : p.changes)
                    changes << QStringLiteral("%1 %2 <span class=\"arrow\">&#8594;</span> %3")
                                   .arg(esc(f.field), esc(f.oldText), esc(f.newText));
                out +=
                    QStringLiteral("<li>%1: %2</li>\n")
                        .arg(names({p.newPlayer}, t, current), changes.join(QStringLiteral(", ")));
            }
            out += QLatin1String("</ul>\n");
        }
        for (const QString& line : d.rest)
            out += QStringLiteral("<p>%1</p>\n").arg(esc(line));
    }
    out += QLatin1String("</section>\n");
}

void header(QString& out, const ReportContent& c, qsizetype players) {
    const QString name = QFileInfo(c.season).fileName();
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width, "
                          "initial-scale=1\">\n<title>Season report: %1</title>\n<style>\n")
               .arg(esc(name));
    out += QLatin1String(reportassets::kStyle);
    out +=
        QStringLiteral("</style></head>\n<body>\n<header><h1>Season report "
                       "<span class=\"file\">%1</span></h1>\n<p class=\"where\">%2 "
                       "&#183; %3, %4 converted</p>\n<p class=\"summary %5\" "
                       "id=\"summary\">%6</p>\n<nav>")
            .arg(esc(name), esc(QDir::toNativeSeparators(c.season)),
                 counted(qsizetype(c.teams.size()), "team", "teams"),
                 counted(players, "player", "players"),
                 c.imports ? QLatin1String("imports") : QLatin1String("refused"), esc(c.summary));
    out += QStringLiteral("<a href=\"#problems\">Problems <span class=\"count\">%1</span></a>"
                          "<a href=\"#warnings\">Warnings <span class=\"count\">%2</span></a>"
                          "<a href=\"#balance\">Balance</a>")
               .arg(c.problems.size())
               .arg(c.warnings.size());
    if (c.comparison)
        out += QLatin1String("<a href=\"#changes\">Changes</a>");
    out += QLatin1String("<a href=\"#teams\">Teams</a></nav></header>\n<main>\n");
}

} // namespace

QByteArray reportHtml(const ReportContent& c) {
    std::vector<TeamStrength> strengths;
    qsizetype players = 0;
    for (const ReportTeam& team : c.teams) {
        strengths.push_back(strengthOf(team));
        players += qsizetype(team.players.size());
    }
    const Anchors anchors(c.teams);
    QString out;
    header(out, c, players);
    findingsSection(out, c, anchors);
    chart(out, c.teams, strengths);
    if (c.comparison)
        comparisonSection(out, *c.comparison, c.teams);

    out += QStringLiteral("<section class=\"block\" id=\"teams\"><h2>Teams (%1)</h2>\n"
                          "<p class=\"note legend\">Each player's values as the game will "
                          "hold them: the fields of his record, named and written as "
                          "<code>tolvane-roster dump</code> gives them. "
                          "<span class=\"clamped\">Marked</span> values were clamped by their "
                          "rating scale; point at one for the season's value. A click on a "
                          "column's header sorts by it, a second click reverses.</p>\n"
                          "<ul class=\"teamindex\">")
               .arg(c.teams.size());
    for (std::size_t t = 0; t < c.teams.size(); ++t)
        out += QStringLiteral("<li>%1</li>").arg(link(teamId(t), c.teams[t].name));
    out += QLatin1String("</ul></section>\n");
    QByteArray page = out.toUtf8();
    page.reserve(page.size() + 4096 + players * 360);
    const std::vector<int> widths = columnWidths(c.teams);
    for (std::size_t t = 0; t < c.teams.size(); ++t)
        teamSection(page, t, c.teams[t], strengths[t], widths);
    page += "</main>\n<script>\n";
    page += reportassets::kScript;
    page += "</script>\n</body></html>\n";
    return page;
}

} // namespace season

} // namespace tolvane
