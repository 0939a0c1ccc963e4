"""Reads RTF documents with unrtf (an independent RTF reader) and prints the text of every table cell.

Usage: rtf_cells.py FILE...

For each file:
    FILE <file>
    ROW                         (one line per table row)
    CELL <hex of the cell text in UTF-8>
    END
unrtf --html writes characters outside ASCII as &#NNNN; references, which html.unescape decodes; the
line breaks unrtf puts into its HTML are not part of the text (the cells hold no line breaks).
A file unrtf refuses gives "ERROR <message>" in place of its rows.
"""
import html
import re
import subprocess
import sys

ROW = re.compile(r'<tr>(.*?)</tr>', re.S)
CELL = re.compile(r'<td>(.*?)</td>', re.S)
TAG = re.compile(r'<[^>]*>')
REFERENCE = re.compile(r'&(#[0-9]+|[A-Za-z][A-Za-z0-9]*);')


def character(match):
    # A numeric reference is the character of its number; html.unescape would read &#128; to &#159;
    # as windows-1252 bytes.
    name = match.group(1)
    return chr(int(name[1:])) if name.startswith('#') else html.unescape(match.group(0))


def cells(markup):
    for row in ROW.findall(markup):
        print('ROW')
        for cell in CELL.findall(row):
            text = REFERENCE.sub(character, TAG.sub('', cell).replace('\n', ''))
            print('CELL ' + text.encode('utf-8', 'surrogatepass').hex())


for path in sys.argv[1:]:
    print('FILE ' + path)
    run = subprocess.run(['unrtf', '--html', path], capture_output=True)
    if run.returncode != 0:
        print('ERROR unrtf exit %d: %s' % (run.returncode, run.stderr.decode('utf-8', 'replace').strip()))
    else:
        cells(run.stdout.decode('utf-8', 'surrogateescape'))
    print('END')
