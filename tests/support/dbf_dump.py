"""Reads DBF tables with dbfread (an independent reader) and prints them in a plain form to compare.

Usage: dbf_dump.py FILE...

For each file:
    TABLE <file>
    FIELD <type> <length> <decimals>   (one line per field)
    ROW <value>|<value>|...            (one line per record)
    END
A value is "-" when the reader gives no value, "s:" and the hex of the text's UTF-8 bytes for text
(memo texts included; bytes the code page does not define are passed through as they are),
"n:" and the number with the field's decimals, "d:" and the ISO date, or "T" / "F".
A file the reader refuses gives "ERROR <message>" in place of the FIELD and ROW lines.
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
