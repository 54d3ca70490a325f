#!/usr/bin/env python3
"""The season report in a real browser (headless Chromium through chromedriver).

values: the report of the demo season, its team tables read back as the browser renders
        them, every value compared with `tolvane-roster dump` of the team lists that the
        update itself writes of the same season.
sort:   a click on a column's header sorts the table by it (numbers as numbers, texts as
        texts), a second click reverses, and every row stays whole.

Exit status 0 passed, 1 failed, 77 Chromium or chromedriver is missing."""

import argparse
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser  # noqa: E402


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(*command):
    result = subprocess.run([str(c) for c in command], capture_output=True)
    if result.returncode != 0:
        raise Failure(f"{' '.join(map(str, command))} exited with {result.returncode}:\n"
                      f"{result.stdout.decode()}{result.stderr.decode()}")
    return result.stdout


def make_report(tools, work, *demo_options):
    """A demo game folder, the report of its season, and the slot the update makes of it."""
    game = os.path.join(work, "game")
    run(tools.demo_tool, game, *demo_options)
    # The report reads the season as the patch brings it; the update then writes the overall
    # ratings into the game folder's copy.
    season = os.path.join(work, "season.mdb")
    shutil.copyfile(os.path.join(game, "seasonStats.mdb"), season)
    report = os.path.join(work, "report.html")
    run(tools.season_tool, "report", season, report)
    run(tools.update_tool, game)
    return report, os.path.join(game, "lists", "default2009")


def dump_slot(tools, slot):
    """Every team's list as tolvane-roster dump prints it: team -> record -> field -> text."""
    teams = {}
    for team in sorted(os.listdir(slot)):
        path = os.path.join(slot, team, team + "_List.tvp")
        if not os.path.isfile(path):
            continue
        rows = csv.DictReader(io.StringIO(run(tools.roster_tool, "dump", path).decode("utf-8"),
                                          newline=""))
        teams[team] = {int(row["record"]): row for row in rows}
    return teams


# Reads every team table after it has been scrolled into view and drawn, as a reader sees it.
READ_TABLES = """
const done = arguments[arguments.length - 1];
const frame = () => new Promise(resolve => requestAnimationFrame(() => resolve()));
(async () => {
  const tables = [];
  for (const table of document.querySelectorAll("table.players")) {
    table.scrollIntoView();
    await frame();
    await frame();
    const section = table.closest("section");
    tables.push({
      team: section.querySelector("h3").firstChild.textContent,
      headers: Array.from(table.tHead.rows[0].cells, th => th.innerText.trim()),
      rows: Array.from(table.tBodies[0].rows, row => Array.from(row.cells, c => c.innerText)),
      clamped: Array.from(table.querySelectorAll("td.clamped"), c => c.title),
      visible: table.getBoundingClientRect().height > 0,
    });
  }
  done(tables);
})();
"""


def test_values(tools, work):
    report, slot = make_report(tools, work)
    dumps = dump_slot(tools, slot)
    check(dumps, f"the update wrote no team list into {slot}")
    with browser.Browser() as b:
        b.open(report)
        tables = b.run_async(READ_TABLES)
    check(sorted(t["team"] for t in tables) == sorted(dumps),
          f"the page's teams {[t['team'] for t in tables]} are not the slot's {sorted(dumps)}")
    values = players = clamped = 0
    for table in tables:
        team = table["team"]
        dump = dumps[team]
        check(table["visible"], f"{team}: the table is not drawn")
        headers = table["headers"]
        for field in headers:
            check(field in next(iter(dump.values())), f"{team}: no field {field!r} in the dump")
        check(len(table["rows"]) == len(dump) - 1,
              f"{team}: {len(table['rows'])} rows, but the list holds {len(dump) - 1} players")
        for row in table["rows"]:
            record = int(row[0])
            check(record in dump and record > 0, f"{team}: no player at record {record}")
            for field, text in zip(headers, row):
                check(text == dump[record][field],
                      f"{team}, record {record}, {field}: the page shows {text!r}, "
                      f"the list holds {dump[record][field]!r}")
                values += 1
            players += 1
        clamped += len(table["clamped"])
        for title in table["clamped"]:
            check(" in the season database, " in title and "converts as" in title,
                  f"{team}: a clamped value says {title!r}")
    check(players == sum(len(d) - 1 for d in dumps.values()), "not every player is shown")
    check(clamped > 0, "the demo season's clamped values are not marked")
    print(f"PASS: {values} values of {players} players in {len(tables)} teams as the team "
          f"lists hold them; {clamped} clamped values marked")


# The last team's table: per row its record, the value of one field, and the whole row.
COLUMN = """
const tables = document.querySelectorAll("table.players");
const table = tables[tables.length - 1];
const heads = Array.from(table.tHead.rows[0].cells, th => th.dataset.field);
return Array.from(table.tBodies[0].rows, row =>
    [row.cells[heads.indexOf("record")].innerText,
     row.cells[heads.indexOf(arguments[0])].innerText,
     Array.from(row.cells, c => c.innerText).join("|")]);
"""


SHOW_LAST = """
const done = arguments[arguments.length - 1];
document.querySelector("section.team:last-of-type table").scrollIntoView();
requestAnimationFrame(() => requestAnimationFrame(() => done(true)));
"""


def test_sort(tools, work):
    teams, players = 6, 300
    report, slot = make_report(tools, work, "--teams", str(teams), "--players", str(players))
    last = sorted(dump_slot(tools, slot))[-1]
    header = "section.team:last-of-type th[data-field='%s']"
    with browser.Browser() as b:
        b.open(report)
        # Where a reader sees it: a table far from the window is not drawn, nor are its texts.
        b.run_async(SHOW_LAST)
        before = {r[0]: r[2] for r in b.run(COLUMN, "speed")}
        check(len(before) == players, f"{last}: {len(before)} rows, not {players}")

        def column(field):
            rows = b.run(COLUMN, field)
            check(sorted(r[0] for r in rows) == sorted(before), "rows came or went in sorting")
            for record, _, whole in rows:
                check(before[record] == whole, f"record {record}'s row came apart in sorting")
            return [r[1] for r in rows]

        b.click(header % "speed")
        numbers = [float(s) for s in column("speed")]
        check(numbers == sorted(numbers), f"speed after one click is not ascending: {numbers}")
        b.click(header % "speed")
        numbers = [float(s) for s in column("speed")]
        check(numbers == sorted(numbers, reverse=True),
              f"speed after a second click is not descending: {numbers}")
        # As numbers: 2 before 10, which texts would put the other way round.
        b.click(header % "record")
        records = [int(r) for r in column("record")]
        check(records == sorted(records), f"records are not sorted as numbers: {records}")
        b.click(header % "preferredPos")
        positions = column("preferredPos")
        check(positions == sorted(positions, key=str.casefold),
              f"positions are not sorted as texts: {positions}")
        check(b.run("return document.querySelector(arguments[0]).getAttribute('aria-sort')",
                    header % "preferredPos") == "ascending", "the sorted header is not marked")
    print(f"PASS: {last}'s {players} rows sorted by speed both ways, by record and by position")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("test", choices=["values", "sort"])
    for tool in ("season", "roster", "demo", "update"):
        parser.add_argument(f"--{tool}-tool", required=True)
    tools = parser.parse_args()
    try:
        browser.require()
    except browser.Missing as missing:
        print(f"SKIP: {missing}")
        return 77
    work = tempfile.mkdtemp(prefix="tolvane-report-test-")
    try:
        {"values": test_values, "sort": test_sort}[tools.test](tools, work)
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    except Exception as error:  # a browser or tool that failed otherwise
        print(f"FAIL: {type(error).__name__}: {error}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
