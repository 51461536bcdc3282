#!/usr/bin/env python3
"""Compares the rows read from every booth with the flood summary of callshop-sim.

console_flood_check.py SIMLOG - last-booth              the booth of the flood's last event
console_flood_check.py SIMLOG - last-booth-final        that booth, its final row count and picture
console_flood_check.py SIMLOG ROWS booth-done KEY      exit 0 when that booth shows its final rows
console_flood_check.py SIMLOG ROWS report T_SEEN N     check every booth, print the figures
ROWS holds, per booth, its name line followed by its list rows
(row, selected, image, destination, duration, cost, start, end, description, rate).
"""
import json
import sys
from datetime import datetime

STATE_IMAGE = {"dialing": 1, "connected": 2, "finished": 3}


def stamp(record):
    return datetime.fromisoformat(record["t"].replace("Z", "+00:00")).timestamp()


def read_log(path):
    start = done = None
    for line in open(path):
        r = json.loads(line)
        if r.get("event") == "flood_start" and start is None:
            start = stamp(r)
        if r.get("event") == "flood_done":
            done = r
    return start, done


def read_rows(path):
    booths, current = {}, None
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if "\t" not in line:
            current = line
            booths[current] = []
        elif current is not None:
            booths[current].append(line.split("\t"))
    return booths


def mismatches(expected, booths):
    wrong = []
    for e in expected:
        rows = booths.get(e["booth"])
        if rows is None:
            wrong.append(f"booth {e['booth']}: not found")
            continue
        finished = [r for r in rows if int(r[2]) == 3]
        cents = sum(round(float(r[5]) * 100) for r in finished)
        seconds = 0
        for r in finished:
            h, m, s = (int(x) for x in r[4].split(":"))
            seconds += h * 3600 + m * 60 + s
        last = int(rows[-1][2]) if rows else None
        want_last = STATE_IMAGE.get(e["last_state"]) if e["calls"] else None
        got = (len(rows), len(finished), last, seconds, cents)
        want = (e["calls"], e["finished"], want_last, e["total_seconds"], round(float(e["total_cost"]) * 100))
        if got != want:
            wrong.append(f"booth {e['booth']}: rows/finished/last/seconds/cents {got} != {want}")
    return wrong


def last_event_booth(path):
    last = None
    for line in open(path):
        r = json.loads(line)
        if r.get("event") == "flood_done":
            break
        if r.get("dir") == "out" and r.get("type") in (101, 102, 103, 104):
            last = r
    text = last["text"]
    return text.split(";")[0] if last["type"] in (101, 103) else text


def main():
    log, rows_file, mode = sys.argv[1], sys.argv[2], sys.argv[3]
    start, done = read_log(log)
    if mode == "last-booth":
        print(last_event_booth(log))
        return
    summary = done["summary"] if "summary" in done else done
    expected = summary["expected"]
    if mode == "last-booth-final":
        key = last_event_booth(log)
        e = next(e for e in expected if e["booth"] == key)
        print(key, e["calls"], STATE_IMAGE[e["last_state"]])
        return
    booths = read_rows(rows_file)
    if mode == "booth-done":
        key = sys.argv[4]
        sys.exit(1 if mismatches([e for e in expected if e["booth"] == key], booths) else 0)
    wrong = mismatches(expected, booths)
    t_seen, polls = float(sys.argv[4]), int(sys.argv[5])
    events = summary["events"]
    last_sent = stamp(done)
    rows = sum(len(r) for r in booths.values())
    print(f"events sent:                 {events} over {len(expected)} booths "
          f"({summary['seconds']:.2f} s of sending; the console read {summary['events_per_second']:.0f}/s)")
    print(f"events applied per second:   {events / (t_seen - start):.0f} "
          f"(first event sent -> last event's row read back: {t_seen - start:.2f} s)")
    print(f"last sent -> last row shown: {max(t_seen - last_sent, 0):.2f} s "
          f"(the booth of the last event looked at {polls} time(s), 5 ms apart)")
    print(f"rows checked afterwards:     {rows} in {len(booths)} booths, {len(wrong)} booth(s) "
          f"wrong -> {'none lost' if not wrong else 'EVENTS LOST'}")
    for w in wrong[:10]:
        print("  " + w)
    sys.exit(1 if wrong else 0)


if __name__ == "__main__":
    main()
