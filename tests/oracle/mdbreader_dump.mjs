#!/usr/bin/env node
// Second, independent reader of Access files for the oracle tests: reads a table with the npm
// package mdb-reader and prints it in exactly the JSON Lines shape `tdv dump` writes, so the
// two outputs can be compared value by value.
//
// Usage:
//   node mdbreader_dump.mjs FILE TABLE          one JSON object per row, keys in column order
//   node mdbreader_dump.mjs --tables FILE       user table names, one per line (catalog order)
//   node mdbreader_dump.mjs --columns FILE TABLE
//                                               one JSON object per column:
//                                               {"name", "type", "size", "precision", "scale"}
//
// How mdb-reader's values are turned into the dump format (one choice per column type):
//   boolean              true / false, as mdb-reader returns them.
//   byte/integer/long    JSON integers (mdb-reader returns exact JS numbers).
//   bigint               the decimal digits of the BigInt, as a JSON integer.
//   currency             mdb-reader already returns the exact scaled value as a string with
//                        four decimals ("3.5000", "-0.0100"); passed through unchanged.
//   numeric (Decimal)    mdb-reader returns the exact value as a string with all scale digits;
//                        passed through unchanged.
//   float (Single)       mdb-reader returns the float widened to a JS double. We print the
//                        shortest decimal that reads back to the same 32-bit float (tried with
//                        1..9 significant digits, checked with Math.fround).
//   double               JSON.stringify of the number: the shortest text that reads back the same.
//   float/double NaN/inf the strings "NaN", "Infinity", "-Infinity" (JSON has no such numbers).
//   datetime             mdb-reader returns a JS Date built from the OLE date rounded to the
//                        nearest millisecond (UTC). We print its UTC fields as
//                        "YYYY-MM-DDTHH:MM:SS", plus ".fff" only when the milliseconds are not
//                        zero. An invalid Date is printed as the string "Invalid Date" so it
//                        can never match a real value.
//   binary, ole          Buffers, printed as {"hex": "..."} in lower case.
//   repid (GUID)         mdb-reader returns "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower case;
//                        we print it upper case inside braces.
//   text, memo           JS strings, JSON-escaped by JSON.stringify.
//   null                 null.
// Anything else (a type mdb-reader does not decode) is printed as JSON.stringify would, so an
// unexpected shape shows up as a disagreement instead of being hidden.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

function fail(message) {
    process.stderr.write(`mdbreader_dump: ${message}\n`);
    process.exit(2);
}

function open(file) {
    try {
        return new MDBReader(readFileSync(file));
    } catch (e) {
        fail(`${file}: ${e.message}`);
    }
}

function table(reader, name) {
    try {
        return reader.getTable(name);
    } catch (e) {
        fail(`table ${name}: ${e.message}`);
    }
}

function nonFinite(x) {
    if (Number.isNaN(x)) return '"NaN"';
    return x > 0 ? '"Infinity"' : '"-Infinity"';
}

function shortestSingle(x) {
    if (!Number.isFinite(x)) return nonFinite(x);
    if (x === 0) return Object.is(x, -0) ? "-0" : "0";
    for (let p = 1; p <= 9; p++) {
        const s = x.toPrecision(p);
        if (Math.fround(Number(s)) === x) return JSON.stringify(Number(s));
    }
    return JSON.stringify(x);
}

function double(x) {
    if (!Number.isFinite(x)) return nonFinite(x);
    if (Object.is(x, -0)) return "-0";
    return JSON.stringify(x);
}

const pad = (n, w) => String(n).padStart(w, "0");

function dateTime(d) {
    if (Number.isNaN(d.getTime())) return '"Invalid Date"';
    let s = `${pad(d.getUTCFullYear(), 4)}-${pad(d.getUTCMonth() + 1, 2)}-${pad(d.getUTCDate(), 2)}`;
    s += `T${pad(d.getUTCHours(), 2)}:${pad(d.getUTCMinutes(), 2)}:${pad(d.getUTCSeconds(), 2)}`;
    const ms = d.getUTCMilliseconds();
    if (ms !== 0) s += `.${pad(ms, 3)}`;
    return JSON.stringify(s);
}

function value(v, type) {
    if (v === null || v === undefined) return "null";
    switch (type) {
        case "float":
            return shortestSingle(v);
        case "double":
            return double(v);
        case "datetime":
            return v instanceof Date ? dateTime(v) : JSON.stringify(v);
        case "binary":
        case "ole":
            return Buffer.isBuffer(v) ? `{"hex":"${v.toString("hex")}"}` : JSON.stringify(v);
        case "repid":
            return typeof v === "string" ? JSON.stringify(`{${v.toUpperCase()}}`) : JSON.stringify(v);
        case "bigint":
            return typeof v === "bigint" ? v.toString() : JSON.stringify(v);
        default:
            if (typeof v === "bigint") return v.toString();
            if (typeof v === "number") return double(v);
            return JSON.stringify(v);
    }
}

function dumpRows(file, tableName) {
    const t = table(open(file), tableName);
    const columns = t.getColumns();
    let rows;
    try {
        rows = t.getData();
    } catch (e) {
        fail(`table ${tableName}: ${e.message}`);
    }
    const keys = columns.map((c) => JSON.stringify(c.name) + ":");
    const chunks = [];
    for (const row of rows) {
        const parts = columns.map((c, i) => keys[i] + value(row[c.name], c.type));
        chunks.push(`{${parts.join(",")}}\n`);
        if (chunks.length >= 1000) {
            process.stdout.write(chunks.join(""));
            chunks.length = 0;
        }
    }
    process.stdout.write(chunks.join(""));
}

function dumpColumns(file, tableName) {
    const t = table(open(file), tableName);
    for (const c of t.getColumns()) {
        const out = { name: c.name, type: c.type, size: c.size };
        if (c.precision !== undefined) out.precision = c.precision;
        if (c.scale !== undefined) out.scale = c.scale;
        process.stdout.write(JSON.stringify(out) + "\n");
    }
}

const args = process.argv.slice(2);
if (args[0] === "--tables" && args.length === 2) {
    for (const name of open(args[1]).getTableNames()) process.stdout.write(name + "\n");
} else if (args[0] === "--columns" && args.length === 3) {
    dumpColumns(args[1], args[2]);
} else if (args.length === 2 && !args[0].startsWith("--")) {
    dumpRows(args[0], args[1]);
} else {
    fail("usage: mdbreader_dump.mjs FILE TABLE | --tables FILE | --columns FILE TABLE");
}
