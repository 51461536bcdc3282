#!/usr/bin/env python3
"""The flood benchmark's arithmetic.

console_flood_check.py plan KEYS EVENTS
    the booth of the flood's last event, the index of its last row and that row's picture, as
    callshop-sim's flood plan makes them: event n belongs to call n / 3 (dial, connect,
    finish), call c goes to booth c mod BOOTHS.
console_flood_check.py report SIMLOG ROWS T_SEEN "BOOTH ROW PICTURE"
    checks the booth watched against the simulator's summary and every booth's rows (ROWS: per
    booth its name line, then its list rows: row, selected, picture, destination, duration,
    cost, ...) against it, then prints the figures; exit 1 when anything is lost.
"""
import json
import sys
from datetime import datetime

PICTURE = {"dialing": 1, "connected": 2, "finished": 3}


def stamp(record):
    return datetime.fromisoformat(record["t"].replace("Z", "+00:00")).timestamp()


def plan(keys, events):
    last = events - 1
    booth = last // 3 % len(keys)
    rows = sum(1 for c in range((events + 2) // 3) if c % len(keys) == booth)
    return f"{keys[booth]} {rows - 1} {last % 3 + 1}"


def read_rows(path):
    booths, current = {}, None
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if "\t" not in line:
            current = booths.setdefault(line, [])
        elif current is not None:
            current.append(line.split("\t"))
    return booths


def mismatches(expected, booths):
    for e in expected:
        rows = booths.get(e["booth"])
        if rows is None:
            yield f"booth {e['booth']}: not found"
            continue
        finished = [r for r in rows if r[2] == "3"]
        seconds = sum(int(h) * 3600 + int(m) * 60 + int(s)
                      for h, m, s in (r[4].split(":") for r in finished))
        got = (len(rows), len(finished), int(rows[-1][2]) if rows else None, seconds,
               sum(round(float(r[5]) * 100) for r in finished))
        want = (e["calls"], e["finished"], PICTURE.get(e["last_state"]) if e["calls"] else None,
                e["total_seconds"], round(float(e["total_cost"]) * 100))
        if got != want:
            yield f"booth {e['booth']}: rows/finished/last/seconds/cents {got} != {want}"


def report(log, rows_file, t_seen, watched):
    records = [json.loads(line) for line in open(log)]
    start = next(stamp(r) for r in records if r.get("event") == "flood_start")
    end = next(i for i, r in enumerate(records) if r.get("event") == "flood_done")
    done = records[end]
    summary = done.get("summary", done)
    last = [r for r in records[:end] if r.get("dir") == "out" and 101 <= r.get("type", 0) <= 104][-1]
    key = last["text"].split(";")[0] if last["type"] in (101, 103) else last["text"]
    e = next(e for e in summary["expected"] if e["booth"] == key)
    if watched != f"{key} {e['calls'] - 1} {PICTURE[e['last_state']]}":
        sys.exit(f"the booth watched ({watched}) is not the flood's last ({key})")
    booths = read_rows(rows_file)
    wrong = list(mismatches(summary["expected"], booths))
    events = summary["events"]
    print(f"events sent:                 {events} over {len(summary['expected'])} booths "
          f"({summary['seconds']:.2f} s of sending; the console read "
          f"{summary['events_per_second']:.0f}/s)")
    print(f"events applied per second:   {events / (t_seen - start):.0f} "
          f"(first event sent -> last event's row read back: {t_seen - start:.2f} s)")
    print(f"last sent -> last row shown: {max(t_seen - stamp(done), 0):.2f} s")
    print(f"rows checked afterwards:     {sum(len(r) for r in booths.values())} in {len(booths)} "
          f"booths, {len(wrong)} booth(s) wrong -> {'EVENTS LOST' if wrong else 'none lost'}")
    print("goal:                        >= 15000 events applied per second with 100 booths, "
          "none lost")
    for w in wrong[:10]:
        print("  " + w)
    sys.exit(1 if wrong else 0)


if __name__ == "__main__":
    if sys.argv[1] == "plan":
        print(plan(sys.argv[2].split(","), int(sys.argv[3])))
    else:
        report(sys.argv[2], sys.argv[3], float(sys.argv[4]), sys.argv[5])
