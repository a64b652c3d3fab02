#!/usr/bin/env python3
"""Writes the golden logs of the reference sequence in tlog_test.cpp.

The lines are built here from the log's formats with Python's own printf
rules, independently of the writer under test. Run from this folder.
"""

RULE = "-" * 110
DATE_LINE = "03.14.26 14:03:59"
TIME_LINE = "14:03:59"


def shorten(path):
    return path if len(path) <= 55 else path[:16] + "\u2026" + path[-38:]


def long_entry(label, path, size, stamp):
    return "%21s: %-55s   %s   %s" % (label, shorten(path), size, stamp)


LONG_PATH = ("S:\\DATA\\Projects\\2026\\Quarterly reports\\Final versions\\"
             "Summary of the year.xlsx")
LONG_COUNTER = ("T:\\BACKUP\\DATA\\Projects\\2026\\Quarterly reports\\Final versions\\"
                "Summary of the year.xlsx")

LINES = [
    "", RULE, DATE_LINE, "Workfile: S:\\Jobs\\Daily 100% backup.job",
    "Hint: It is shortly after midnight. The last day is included in the update.",
    TIME_LINE,
    long_entry("File copied", "S:\\DATA\\REPORT.DOC", "    12288", "03.14.99 10:22:40"),
    long_entry("to", "T:\\BACKUP\\DATA\\REPORT.DOC", "     8192", "03.10.99 17:05:12"),
    TIME_LINE,
    long_entry("File copied", "S:\\DATA\\NEW.TXT", "      512", "03.14.99 09:00:00"),
    long_entry("to", "T:\\BACKUP\\DATA\\NEW.TXT", "", ""),
    TIME_LINE,
    long_entry("File skipped", LONG_PATH, "  1048576", "01.02.26 08:15:30"),
    long_entry("and", LONG_COUNTER, "  1048576", "01.02.26 08:15:30"),
    TIME_LINE,
    long_entry("File erased", "T:\\BACKUP\\DATA\\OLD.TMP", "       64", "12.31.99 23:59:58"),
    TIME_LINE,
    long_entry("Error at copying", "S:\\DATA\\LOCKED.DB", "     4096", "03.14.26 13:00:00"),
    long_entry("to", "T:\\BACKUP\\DATA\\LOCKED.DB", "     2048", "03.13.26 13:00:00"),
    TIME_LINE,
    "%21s: %s" % ("Directory deleted", "T:\\BACKUP\\DATA\\EMPTY\\"),
    "Warning: Drive T: lacks 1.5 MB of storage space.",
    DATE_LINE, RULE,
]

TEXT = "".join(line + "\r\n" for line in LINES)
with open("reference-utf8.log", "wb") as out:
    out.write(TEXT.encode("utf-8"))
with open("reference-ansi.log", "wb") as out:
    out.write(TEXT.encode("cp1252"))
