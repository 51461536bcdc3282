-- The bills store's second edition: tables beside the first edition's bills and calls, whose
-- rows and statements stay as they are. billsdb create makes them with the first edition's;
-- an existing store gets them by an upgrade (billsdb upgrade, or the console at start-up).
--
-- bill_seals: one seal per bill, in id order: SHA-256 over the previous bill's seal and the
-- bill's canonical form (README.md, "The second edition"); previous_id is the id of the bill
-- sealed before it (0 for the first), so a removed bill shows as a gap.
-- bill_voids: a void is a bill of its own, in bills and calls, whose amounts are the
-- original's negated; this links it to the original with who voided it, when (local time,
-- as issued_date) and why. A bill is voided at most once.
-- store_edition: the schema's version, one row.
CREATE TABLE bill_seals (
    id_bill INTEGER PRIMARY KEY,
    previous_id INTEGER NOT NULL,
    seal BLOB NOT NULL
);

CREATE TABLE bill_voids (
    id_original INTEGER PRIMARY KEY,
    id_void INTEGER NOT NULL UNIQUE,
    operator TEXT,
    voided_at TEXT,
    reason TEXT
);

CREATE TABLE store_edition (
    version INTEGER NOT NULL
);
INSERT INTO store_edition(version) VALUES (2);
