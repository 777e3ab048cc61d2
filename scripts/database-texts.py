"""The texts of the device database that the interface shows, as a source file for lupdate.

    database-texts.py data/devices.sql > devices-db-texts.cpp

The choices of the form lists (an element of a group table's element list, up to its first ':')
and the status bits' names and value texts, each once, in the translation context
"DeviceDatabase" through which the program shows them. Texts without a letter (speeds, the
status bit mask) are shown as they are and left out.
"""

import sqlite3
import sys

CONTEXT = "DeviceDatabase"


def has_letter(text):
    return any(c.isalpha() for c in text)


def table_names(db):
    return [row[0] for row in db.execute("SELECT name FROM sqlite_master WHERE type = 'table'")]


def rows(db, table):
    # Columns by position, as the program reads them.
    return db.execute('SELECT * FROM "%s"' % table.replace('"', '""')).fetchall()


def shown_texts(db):
    tables = set(table_names(db))
    texts = set()

    # Group tables are the ones a model table names in its column 1.
    groups = set()
    for table in tables:
        for row in rows(db, table):
            if len(row) > 1 and row[0] is not None and row[1] in tables:
                groups.add(row[1])
    for group in groups:
        for row in rows(db, group):
            if len(row) < 3 or row[2] is None:
                continue
            page, _, elements = str(row[2]).partition(";")
            for element in elements.split(","):
                texts.add(element.split(":", 1)[0])

    if "statusBits" in tables:
        for row in rows(db, "statusBits"):
            if row[0] is not None:
                texts.update(str(t) for t in row[1:4] if t is not None)

    return sorted(t for t in texts if has_letter(t))


def literal(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: database-texts.py <devices.sql>")
    db = sqlite3.connect(":memory:")
    with open(sys.argv[1], encoding="utf-8") as sql:
        db.executescript(sql.read())
    out = sys.stdout
    out.reconfigure(encoding="utf-8")
    out.write("// The texts of the device database that the interface shows; made by\n")
    out.write("// scripts/database-texts.py from data/devices.sql for lupdate.\n")
    for text in shown_texts(db):
        out.write("QT_TRANSLATE_NOOP(%s, %s)\n" % (literal(CONTEXT), literal(text)))


if __name__ == "__main__":
    main()
