#!/usr/bin/env bash
# Proves that the build enforces the layers: in a scratch copy of the sources, each probe
# below adds to a file of one layer an include of a header that layer may not see (one of a
# layer above it, or of a layer beside it that it does not link), and the build of that file
# must fail for want of the header. Run by CI after the tests; needs what setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."

# file of a layer, its target, the header it must not reach
probes=(
    "core/fileops.cpp tolvane_core db/seasondatabase.h"
    "db/jet/reader.cpp tolvane_jet db/seasondatabase.h"
    "db/seasondatabase.cpp tolvane_db records/playerrecord.h"
    "records/recordcodec.cpp tolvane_records conversion/ratingscales.h"
    "conversion/qztable.cpp tolvane_conversion teamsheets/teamsheets.h"
    "teamsheets/teamsheets.cpp tolvane_teamsheets run/updaterun.h"
    "schedule/scheduleinstall.cpp tolvane_schedule db/seasondatabase.h"
    "run/updaterun.cpp tolvane_run app/form57.h"
    "run/checkcommand.cpp tolvane_run tools/season/seasontool.h"
    "tools/zip/zipfile.cpp tolvane_zip db/seasondatabase.h"
)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-layers.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$scratch"

for probe in "${probes[@]}"; do
    read -r file _ header <<<"$probe"
    # A header that does not exist would fail every include of it, and prove nothing.
    [[ -f $file && -f $header ]] || { echo "layers: the probe $probe names a missing file" >&2; exit 1; }
    sed -i "1i #include \"$header\"" "$scratch/$file"
done
cmake -S "$scratch" -B "$scratch/build" -G Ninja -DTOLVANE_BUILD_TESTS=OFF >/dev/null

failed=0
for probe in "${probes[@]}"; do
    read -r file target header <<<"$probe"
    object="$(dirname "$file")/CMakeFiles/$target.dir/$(basename "$file").o"
    if log=$(ninja -C "$scratch/build" "$object" 2>&1); then
        echo "layers: $file built with #include \"$header\"; the layers are not enforced" >&2
        failed=1
    elif ! grep -qF "$header: No such file or directory" <<<"$log"; then
        echo "layers: $file failed to build for another reason than the include of $header:" >&2
        tail -n 20 <<<"$log" >&2
        failed=1
    else
        echo "layers: $file cannot include $header, as it must not"
    fi
done
exit "$failed"
