#!/bin/sh
# Measures what one refresh tick of the board costs over a large job database.
#
#   scripts/tick-cost.sh ORDERS ACTIVE [BUILD_DIR]
#
# ORDERS orders in OrderHead.DB of the demo's kinds (1/3 Jewish, 1/6 special-date, 1/6 interment,
# the rest neither), ACTIVE of them active, spread evenly over the due dates (ACTIVE may be "all");
# a Jewish.DB row for every Jewish order and an RNR.DB row for every interment. The tables are
# made by `jobsdb init` and filled with plain SQLite (python3's sqlite3 module), not through our
# engine. A tick's cost is the difference between `wallscreen-snapshot --ticks 3` and `--ticks 1`
# divided by two (best of three runs each); the whole run with one tick is printed as well.
# BUILD_DIR defaults to build/release (cmake --preset release; build wallscreen-snapshot and jobsdb).
set -eu

orders=${1:?usage: tick-cost.sh ORDERS ACTIVE [BUILD_DIR]}
active=${2:?usage: tick-cost.sh ORDERS ACTIVE [BUILD_DIR]}
build=${3:-build/release}
jobsdb=$build/tools/jobsdb/jobsdb
snapshot=$build/tools/wallscreen-snapshot/wallscreen-snapshot
for tool in "$jobsdb" "$snapshot"; do
    [ -x "$tool" ] || { echo "tick-cost.sh: $tool is not built" >&2; exit 2; }
done

dir=$(mktemp -d)
runtime=$(mktemp -d)
trap 'rm -rf "$dir" "$runtime"' EXIT
"$jobsdb" --dir "$dir" init
for band in 1 2 3 4 5; do
    "$jobsdb" --dir "$dir" put Options.DB "OptionName=Band $band" OptionValue=clRed >/dev/null
done

python3 - "$dir" "$orders" "$active" <<'EOF'
import datetime, sqlite3, sys

folder, orders, active = sys.argv[1], int(sys.argv[2]), sys.argv[3]
active = orders if active == "all" else int(active)
today = datetime.date(2026, 12, 9).toordinal()  # day number: 1 is 1 January 0001
every = max(1, orders // max(1, active))

heads = sqlite3.connect(folder + "/OrderHead.DB")
jewish = sqlite3.connect(folder + "/Jewish.DB")
rnr = sqlite3.connect(folder + "/RNR.DB")
order_rows, jewish_rows, rnr_rows = [], [], []
for n in range(orders):
    kind = n % 6  # 0, 1: Jewish; 2: special date; 3: interment; 4, 5: neither
    number = "%s%07d" % ("JJSINN"[kind], n)
    due = today - 400 + (n * 7919) % 800  # due dates spread, not in row order
    is_active = 1 if n % every == 0 and n // every < active else 0
    order_rows.append((number, "Client %d" % n, due, 3.0 if kind == 2 else float(n % 3),
                       n % 4 == 0, 1 if kind in (0, 1) else 0, 1 if kind == 3 else 0, is_active, 1))
    if kind in (0, 1):
        jewish_rows.append((number, "Rabbi Cohen", "Granite", due, n))
    if kind == 3:
        rnr_rows.append((number, due - 7, "Yard", "R%d" % n))
heads.executemany("INSERT INTO records (OrderNo, Name, DueDate, DateOffSet, Invoiced, IsJewish, "
                  "IsInterment, IsActive, Active) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", order_rows)
jewish.executemany("INSERT INTO records (OrderNo, Rabbi, Stone, DueDate, RecID) VALUES (?, ?, ?, ?, ?)",
                   jewish_rows)
rnr.executemany("INSERT INTO records (OrderNo, RemoveBefore, CurrentLocation, JobRef) VALUES (?, ?, ?, ?)",
                rnr_rows)
for db in (heads, jewish, rnr):
    db.commit()
    db.close()
EOF

# The best of three runs with the given number of ticks: "WALL CPU" in seconds, CPU being user
# plus system time, which other work on a shared machine disturbs less than wall time.
run() {
    best_wall=
    best_cpu=
    for _ in 1 2 3; do
        XDG_RUNTIME_DIR=$runtime /usr/bin/time -f "%e %U %S" -o "$runtime/time" "$snapshot" \
            --at "2026-12-09 10:00:00.000" --dir "$dir" --ticks "$1" --json "$runtime/account.json" >/dev/null
        read -r wall user sys <"$runtime/time"
        cpu=$(echo "$user + $sys" | bc)
        if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc)" = 1 ]; then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc)" = 1 ]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

set -- $(run 1) $(run 3)
printf 'orders %s, active %s: tick %.3f s wall, %.3f s CPU; whole run with one tick %.2f s wall, %.2f s CPU\n' \
    "$orders" "$active" "$(echo "($3 - $1) / 2" | bc -l)" "$(echo "($4 - $2) / 2" | bc -l)" "$1" "$2"

# The least a program could do for a tick: read the active orders in due-date order, all their
# columns, and pass once over each detail table.
python3 - "$dir" <<'EOF2'
import sqlite3, sys, time

folder = sys.argv[1]
best_wall = best_cpu = None
for _ in range(5):
    wall, cpu = time.perf_counter(), time.process_time()
    heads = sqlite3.connect(folder + "/OrderHead.DB")
    heads.execute("SELECT * FROM records WHERE IsActive ORDER BY DueDate").fetchall()
    for name in ("Jewish.DB", "RNR.DB"):
        sqlite3.connect(folder + "/" + name).execute("SELECT * FROM records").fetchall()
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    best_wall = wall if best_wall is None else min(best_wall, wall)
    best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
print("the least a tick could read: %.3f s wall, %.3f s CPU" % (best_wall, best_cpu))
EOF2
