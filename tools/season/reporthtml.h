#pragma once

#include "run/findings.h"
#include "tools/season/reportdata.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tolvane {

namespace season {

// Everything the season report shows.
struct ReportContent {
    QString season;  // the season database as given
    QString summary; // the check's summary line
    bool imports = false;
    std::vector<InputFinding> problems;
    std::vector<InputFinding> warnings;
    std::vector<ReportTeam> teams;
    std::optional<Comparison> comparison;
};

// The report as one HTML page in UTF-8 that needs nothing else: its style, its script (which
// sorts the tables) and its chart (SVG) are in the page. The page opens offline in any
// current browser and reads without its script too.
QByteArray reportHtml(const ReportContent& content);

} // namespace season

} // namespace tolvane
