#!/usr/bin/python3
# Reads a workbook with xlrd and prints it as JSON (ASCII, non-ASCII as \u escapes):
#   {"codepage": n, "biff": n, "log": "...", "strings_read": n, "sst_total": n, "sst_unique": n,
#    "longest_record": n, "stream_end_ok": b, "extsst_ok": b, "sheets": [{"name": s, "rows": [[cell, ...], ...]}]}
# A text cell is a string, a blank cell null; any other kind of cell is an error (exit 2).
import io
import json
import struct
import sys

import xlrd


def main():
    log = io.StringIO()
    try:
        book = xlrd.open_workbook(sys.argv[1], logfile=log, verbosity=0, on_demand=True)
    except Exception as e:  # the test shows the reason
        print(json.dumps({"error": "%s: %s" % (type(e).__name__, e)}))
        return 1
    sheets = []
    for sheet in book.sheets():  # loads every sheet
        rows = []
        for r in range(sheet.nrows):
            row = []
            for cell in sheet.row(r):
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    row.append(cell.value)
                elif cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    row.append(None)
                else:
                    print(json.dumps({"error": "cell %d,%d has type %d" % (r, len(row), cell.ctype)}))
                    return 2
            rows.append(row)
        sheets.append({"name": sheet.name, "rows": rows})
    # The stream's own record framing and the string table's declared counts.
    stream = bytes(book.mem[book.base:book.base + book.stream_len])
    pos, longest, sst_total, sst_unique = 0, 0, -1, -1
    records = {}  # start -> (type, length)
    extsst = None
    while pos + 4 <= len(stream):
        rtype, length = struct.unpack_from("<HH", stream, pos)
        records[pos] = (rtype, length)
        longest = max(longest, length)
        if rtype == 0x00FC:
            sst_total, sst_unique = struct.unpack_from("<II", stream, pos + 4)
        if rtype == 0x00FF:
            extsst = stream[pos + 4:pos + 4 + length]
        pos += 4 + length
    # Every EXTSST bucket must point into the SST or one of its CONTINUE records.
    extsst_ok = extsst is not None and len(extsst) >= 2
    if extsst_ok:
        per_bucket = struct.unpack_from("<H", extsst, 0)[0]
        buckets = (len(extsst) - 2) // 8
        extsst_ok = per_bucket >= 8 and buckets == (sst_unique + per_bucket - 1) // per_bucket
        for k in range(buckets):
            ib, cb = struct.unpack_from("<IH", extsst, 2 + 8 * k)
            rec = records.get(ib - cb)
            if rec is None or rec[0] not in (0x00FC, 0x003C) or not 4 <= cb < 4 + rec[1]:
                extsst_ok = False
    print(json.dumps({"codepage": book.codepage, "biff": book.biff_version, "log": log.getvalue(),
                      "strings_read": len(book._sharedstrings), "sst_total": sst_total,
                      "sst_unique": sst_unique, "longest_record": longest, "stream_end_ok": pos == len(stream), "extsst_ok": extsst_ok,
                      "sheets": sheets}))
    return 0


if __name__ == "__main__":
    sys.exit(main())
