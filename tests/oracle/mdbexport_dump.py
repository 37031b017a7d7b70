#!/usr/bin/env python3
"""Reads an Access table with mdbtools' mdb-export and prints it in the JSON Lines shape that
`tdv dump` writes (one object per row, keys in column order), so the oracle tests can compare
the two value by value.

Usage:
    mdbexport_dump.py FILE TABLE       rows as JSON Lines
    mdbexport_dump.py --tables FILE    user table names, one per line (mdb-tables -1)
    mdbexport_dump.py --columns FILE TABLE
                                       one JSON object per column: {"name", "type"} with the
                                       type name mdb-schema prints ("Long Integer", "Text", ...)

mdb-export is run so that nothing is lost and fields split unambiguously:
    -H is NOT given       the header row gives the column names in column order;
    -d \\x1f -R \\x1e       unit/record separators as field and row delimiters, so commas and
                          newlines inside values need no special care;
    -q '"' (default)      text-like fields are quoted and inner quotes doubled; a quoted field
                          is parsed until its closing quote, whatever it contains;
    -0 not given          NULL is an empty, unquoted field; an empty text is "" (quoted);
    -T/-D format          '%Y-%m-%dT%H:%M:%S' (mdb-export has no way to print milliseconds);
    -b hex                Binary and OLE data as hex digits (mdb-export prints upper case);
    -B not given          Boolean as 1/0.
The column types come from `mdb-schema -T TABLE` (the Access backend's type names).

Conversions to the dump format:
    Boolean               1/0 -> true/false.
    Byte, Integer, Long   integer text, unchanged.
    Currency              mdb-export prints four decimals ("3.5000"): kept, as a string.
    Numeric (Decimal)     kept as a string, as printed.
    Single, Double        kept as the printed number text. mdb-export prints Single with 8 and
                          Double with 16 significant digits (printf %g), which does not always
                          read back to the stored value: the tests compare at that precision.
                          "nan"/"inf"/"-inf" become the strings "NaN", "Infinity", "-Infinity".
    DateTime              the string printed with the format above (whole seconds only).
    Binary, OLE           {"hex": lower case digits}.
    Replication ID        with -b hex, mdb-export prints the hex digits of the ASCII text of
                          the GUID (it treats the column as binary): decoded back first. It
                          prints "{XXXXXXXX-XXXX-XXXX-XXXXXXXXXXXXXXXX}" (the dash
                          between the fourth and fifth groups is missing); the dash is put back
                          so the value reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
    Text, Memo            the string; mdb-export's output is UTF-8, bytes that are not valid
                          UTF-8 are replaced by U+FFFD (so they show up as a disagreement).
"""
import json
import re
import subprocess
import sys

FIELD = "\x1f"
ROW = "\x1e"
DATE_FORMAT = "%Y-%m-%dT%H:%M:%S"


def fail(message):
    sys.stderr.write("mdbexport_dump: %s\n" % message)
    sys.exit(2)


def run(args):
    proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        fail("%s failed (%d): %s" % (args[0], proc.returncode,
                                      proc.stderr.decode("utf-8", "replace").strip()))
    return proc.stdout.decode("utf-8", "replace")


def column_types(path, table):
    """Type names of the table's columns, in column order, from mdb-schema."""
    text = run(["mdb-schema", "-T", table, "--no-not-null", path, "access"])
    types = []
    inside = False
    for line in text.splitlines():
        if line.startswith("CREATE TABLE"):
            inside = True
            continue
        if inside and line.startswith(");"):
            break
        m = re.match(r"^\t\[(.*)\]\t+(.*?)(?: \([0-9, ]+\))?,? *$", line)
        if inside and m:
            types.append((m.group(1), m.group(2).strip()))
    return types


def split_records(text):
    """Splits mdb-export output into records of (value, quoted) fields."""
    records, fields = [], []
    i, n = 0, len(text)
    at_field_start = True
    while i < n:
        c = text[i]
        if at_field_start and c == '"':
            j = i + 1
            parts = []
            while True:
                k = text.find('"', j)
                if k < 0:
                    fail("unterminated quoted field")
                parts.append(text[j:k])
                if k + 1 < n and text[k + 1] == '"':
                    parts.append('"')
                    j = k + 2
                    continue
                i = k + 1
                break
            fields.append(("".join(parts), True))
            at_field_start = False
            continue
        if c == FIELD:
            if at_field_start:
                fields.append(("", False))
            at_field_start = True
            i += 1
            continue
        if c == ROW:
            if at_field_start:
                fields.append(("", False))
            records.append(fields)
            fields = []
            at_field_start = True
            i += 1
            continue
        # An unquoted field runs to the next delimiter.
        k = i
        while k < n and text[k] not in (FIELD, ROW):
            k += 1
        fields.append((text[i:k], False))
        at_field_start = False
        i = k
    if fields:
        records.append(fields)
    return records


NUMBER = re.compile(r"^-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?$")
GUID_NO_FOURTH_DASH = re.compile(r"^\{([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4})"
                                 r"([0-9A-Fa-f]{12})\}$")


def float_json(text):
    low = text.lower()
    if low in ("nan", "-nan"):
        return '"NaN"'
    if low in ("inf", "infinity"):
        return '"Infinity"'
    if low in ("-inf", "-infinity"):
        return '"-Infinity"'
    if NUMBER.match(text):
        return text
    return json.dumps(text)


def value_json(field, type_name):
    text, quoted = field
    if not quoted and text == "" and type_name not in ("Text", "Memo/Hyperlink"):
        return "null"
    if not quoted and text == "":
        return "null"
    if type_name == "Boolean":
        return "true" if text not in ("0", "FALSE") else "false"
    if type_name in ("Byte", "Integer", "Long Integer") and NUMBER.match(text):
        return text
    if type_name in ("Single", "Double"):
        return float_json(text)
    if type_name in ("Binary", "OLE"):
        return '{"hex":"%s"}' % text.lower()
    if type_name == "Replication ID":
        if re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", text):
            text = bytes.fromhex(text).decode("ascii", "replace")
        m = GUID_NO_FOURTH_DASH.match(text)
        if m:
            text = "{%s-%s}" % (m.group(1), m.group(2))
        return json.dumps(text.upper())
    # Text, Memo, DateTime, Currency, Numeric and anything unknown: the printed text.
    return json.dumps(text, ensure_ascii=False)


def dump_rows(path, table):
    types = column_types(path, table)
    text = run(["mdb-export", "-d", FIELD, "-R", ROW, "-b", "hex", "-D", DATE_FORMAT,
                "-T", DATE_FORMAT, path, table])
    records = split_records(text)
    if not records:
        fail("no header row from mdb-export")
    header = [name for name, _ in records[0]]
    if len(types) != len(header) or any(t[0] != h for t, h in zip(types, header)):
        fail("mdb-schema columns %r do not match mdb-export header %r"
             % ([t[0] for t in types], header))
    keys = [json.dumps(h, ensure_ascii=False) + ":" for h in header]
    out = sys.stdout
    for rec in records[1:]:
        if len(rec) != len(header):
            fail("row with %d fields, header has %d" % (len(rec), len(header)))
        parts = [keys[i] + value_json(rec[i], types[i][1]) for i in range(len(header))]
        out.write("{" + ",".join(parts) + "}\n")


def main(argv):
    if len(argv) == 2 and argv[0] == "--tables":
        sys.stdout.write(run(["mdb-tables", "-1", argv[1]]))
    elif len(argv) == 3 and argv[0] == "--columns":
        for name, type_name in column_types(argv[1], argv[2]):
            sys.stdout.write(json.dumps({"name": name, "type": type_name}, ensure_ascii=False)
                             + "\n")
    elif len(argv) == 2 and not argv[0].startswith("--"):
        dump_rows(argv[0], argv[1])
    else:
        fail("usage: mdbexport_dump.py FILE TABLE | --tables FILE | --columns FILE TABLE")


if __name__ == "__main__":
    sys.stdout.reconfigure(encoding="utf-8")
    main(sys.argv[1:])
