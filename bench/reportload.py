#!/usr/bin/env python3
"""Opens a season report in headless Chromium RUNS times and prints, per run,
"RENDERED LOADED PAINT CPU": the ms from the start of the navigation to the first frame
drawn after the load event, to the load event itself and to the first paint of any content,
and the CPU time (ms) Chromium's processes spent until the rendered frame, which a busy
machine changes less than the others. One browser
serves every run; each run navigates anew, so the page is read, parsed and laid out each
time. Usage: bench/reportload.py REPORT.html [RUNS]"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "report"))
import browser  # noqa: E402

# Two frames after the load event: the first frame that shows the loaded page.
RENDERED = """
const done = arguments[arguments.length - 1];
requestAnimationFrame(() => requestAnimationFrame(() => {
  const navigation = performance.getEntriesByType("navigation")[0];
  const paint = performance.getEntriesByName("first-contentful-paint")[0];
  done([performance.now(), navigation.loadEventEnd, paint ? paint.startTime : -1]);
}));
"""

TICK_MS = 1000 / os.sysconf("SC_CLK_TCK")


def cpu_ms(profile):
    """The user and system time of every process of the browser that uses profile."""
    total = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if profile.encode() not in f.read():
                    continue
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            continue
    return total * TICK_MS


def main():
    report = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with browser.Browser(1280, 800) as b:
        for _ in range(runs):
            b.open(os.devnull)
            before = cpu_ms(b.profile)
            b.open(report)
            rendered, loaded, paint = b.run_async(RENDERED)
            print(f"{rendered:.0f} {loaded:.0f} {paint:.0f} {cpu_ms(b.profile) - before:.0f}")


if __name__ == "__main__":
    main()
