"""Reads DBF tables with dbfread (an independent reader) and prints them in the plain form that
tests/support/dbf_reader.cpp parses and dbf_reader.h describes (bytes a code page does not define are
passed through as they are).

Usage: dbf_dump.py FILE...
For each file: "TABLE <file>", one "FIELD <type> <length> <decimals>" line per field and one
"ROW <value>|<value>|..." line per record (or "ERROR <message>" when the reader refuses the file), "END".
"""
import sys


def text(value):
    return 's:' + value.encode('utf-8', 'surrogateescape').hex()


def canonical(value, ftype, decimals):
    if value is None:
        return '-'
    if ftype == 'L':
        return 'T' if value else 'F'
    if ftype == 'D':
        return 'd:' + value.isoformat()
    if ftype == 'N':
        return 'n:%.*f' % (decimals, value)
    if ftype == 'M':
        if isinstance(value, bytes):
            value = value.decode('latin-1')
        return text(value) if value != '' else '-'
    return text(value.rstrip(' '))


def dump(path):
    import dbfread
    table = dbfread.DBF(path, char_decode_errors='surrogateescape', load=False)
    fields = [(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
    rows = []
    for record in table:
        rows.append([canonical(record[name], ftype, dec) for name, ftype, _, dec in fields])
    return fields, rows


def main():
    out = sys.stdout
    for path in sys.argv[1:]:
        out.write('TABLE %s\n' % path)
        try:
            fields, rows = dump(path)
        except Exception as error:  # the reader refused the file: the test reports it
            out.write('ERROR %s: %s\n' % (type(error).__name__, str(error).replace('\n', ' ')))
            out.write('END\n')
            continue
        for _, ftype, length, dec in fields:
            out.write('FIELD %s %d %d\n' % (ftype, length, dec))
        for row in rows:
            out.write('ROW ' + '|'.join(row) + '\n')
        out.write('END\n')


if __name__ == '__main__':
    main()
