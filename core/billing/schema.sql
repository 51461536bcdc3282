-- The bills store, bills.mdb: an SQLite database. The console opens it read-write and never
-- creates it; tools/billsdb makes an empty one from this file.
--
-- issued_date is local time written as 'YYYY-MM-DD HH:MM:SS' (SQLite's own date-time text),
-- so it sorts in time order as text; end_date is the call's end time as the booth wrote it,
-- 'HH:MM:SS'. Amounts are stored rounded to two decimals. id_bill and id_call are given by
-- the store and never reused. A call belongs to the bill whose id_bill it carries; calls of
-- a bill whose own row could not be written carry 0.
PRAGMA journal_mode = WAL;

CREATE TABLE bills (
    id_bill INTEGER PRIMARY KEY AUTOINCREMENT,
    issued_date TEXT,
    operator TEXT,
    cabin_number TEXT,
    total_cost REAL,
    total_taxes REAL,
    total_cost_taxes REAL
);

CREATE TABLE calls (
    id_call INTEGER PRIMARY KEY AUTOINCREMENT,
    id_bill INTEGER,
    destination TEXT,
    end_date TEXT,
    duration TEXT,
    rate REAL,
    call_taxes REAL,
    call_cost REAL,
    call_cost_taxes REAL
);

CREATE INDEX calls_of_bill ON calls(id_bill);
