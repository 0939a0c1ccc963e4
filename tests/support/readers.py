#!/usr/bin/python3
"""Reads documents back with independent readers, for the format tests.

    readers.py html PAGE...          HTML pages parsed by html5lib from their bytes
    readers.py chromium PAGE...      HTML pages parsed by headless Chromium (all in one run)
    readers.py rtf DOC...            the table cells of RTF documents as unrtf reads them
    readers.py xml KIND FILE EXPECTED [...]   XML/RSS files checked by ElementTree, lxml and feedparser

The readers of documents print, per document (texts with \\, TAB, CR and LF escaped):
    FILE path / V name TAB value / T (a table) / R (a row) / C text TAB link (a cell and its link)
"xml" prints one line per difference from EXPECTED and exits 1 when there is any.
"""
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile


def esc(text):
    return (text or "").replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def emit(paths, docs):
    lines = []
    for path, doc in zip(paths, docs):
        lines.append("FILE " + esc(path))
        lines += ["V %s\t%s" % (k, esc(v)) for k, v in sorted(doc.get("values", {}).items())]
        for table in doc["tables"]:
            lines.append("T")
            for row in table:
                lines.append("R")
                lines += ["C %s\t%s" % (esc(text), esc(link)) for text, link in row]
    sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("utf-8", "surrogatepass"))


# ---- HTML --------------------------------------------------------------------------------------

def parse_html(raw):
    import html5lib
    return html5lib.HTMLParser(namespaceHTMLElements=False).parse(raw)


def html5lib_page(raw):
    doc = parse_html(raw)
    tables = []
    for table in doc.iter("table"):
        rows = []
        for row in table.iter("tr"):
            cells = [c for c in row if c.tag in ("td", "th")]
            links = [c.find(".//a") for c in cells]
            rows.append([["".join(c.itertext()), a.get("href") if a is not None else None]
                         for c, a in zip(cells, links)])
        tables.append(rows)
    meta, title = doc.find(".//meta"), doc.find(".//title")
    return {"tables": tables, "values": {
        "charset": meta.get("charset") if meta is not None else "",
        "title": "".join(title.itertext()) if title is not None else "",
        "tags": " ".join(sorted({e.tag for e in doc.iter()})),
        "attributes": " ".join(sorted({a for e in doc.iter() for a in e.attrib}))}}


CHROMIUM_SCRIPT = """
function collect(d) {
  const tags = new Set(), attrs = new Set();
  for (const e of d.getElementsByTagName('*')) {
    tags.add(e.localName);
    for (const a of e.attributes) attrs.add(a.name);
  }
  const title = d.querySelector('title');
  return {values: {charset: d.characterSet.toLowerCase(), title: title ? title.textContent : '',
                   tags: [...tags].sort().join(' '), attributes: [...attrs].sort().join(' ')},
          tables: [...d.querySelectorAll('table')].map(t => [...t.rows].map(r => [...r.cells].map(c => {
            const a = c.querySelector('a');
            return [c.textContent, a ? a.getAttribute('href') : null];
          })))};
}
window.addEventListener('load', () => {
  const pages = [...document.querySelectorAll('iframe')].map(f => collect(f.contentDocument));
  document.getElementById('out').textContent = JSON.stringify(pages);
});
"""


def chromium_pages(scratch, pages):
    wrapper = os.path.join(scratch, "pages.html")
    with open(wrapper, "w", encoding="utf-8") as out:
        out.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body><pre id="out"></pre>\n')
        for page in pages:
            out.write('<iframe src="file://%s"></iframe>\n' % os.path.abspath(page).replace('"', "%22"))
        out.write("<script>%s</script></body></html>\n" % CHROMIUM_SCRIPT)
    command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--user-data-dir=" + os.path.join(scratch, "profile"), "--allow-file-access-from-files",
               "--virtual-time-budget=20000", "--dump-dom", "file://" + wrapper]
    result = subprocess.run(command, env=dict(os.environ, HOME=scratch), capture_output=True, timeout=300)
    pre = parse_html(result.stdout.decode("utf-8")).find(".//pre")
    text = "".join(pre.itertext()) if pre is not None else ""
    if not text:
        sys.exit("chromium gave no pages (exit %d): %s" % (result.returncode, result.stderr[-2000:]))
    return json.loads(text)


# ---- RTF ---------------------------------------------------------------------------------------

ROW, CELL, TAG = re.compile(r"<tr>(.*?)</tr>", re.S), re.compile(r"<td>(.*?)</td>", re.S), re.compile(r"<[^>]*>")
REFERENCE = re.compile(r"&(#[0-9]+|[A-Za-z][A-Za-z0-9]*);")


def reference(match):
    # A numeric reference is the character of its number (html.unescape reads &#128;..&#159; as
    # windows-1252 bytes).
    name = match.group(1)
    return chr(int(name[1:])) if name.startswith("#") else html.unescape(match.group(0))


ROW_END = b"\r\n\\trgaph115\\row"  # a value cannot hold it: its line breaks are blanks


def document_parts(raw, size=1_000_000):
    # unrtf slows down more than in step with the size of a document: a large one is read in parts of
    # whole rows, each with the document's prolog and end.
    if len(raw) <= size or ROW_END not in raw:
        return [raw]
    first, last = raw.index(b"\\trowd"), raw.rindex(ROW_END) + len(ROW_END)
    prolog, rows, end = raw[:first], raw[first:last], raw[last:]
    parts, start = [], 0
    while start < len(rows):
        stop = rows.find(ROW_END, start + size)
        stop = len(rows) if stop < 0 else stop + len(ROW_END)
        parts.append(prolog + rows[start:stop] + end)
        start = stop
    return parts


def unrtf_document(path, scratch):
    # unrtf --html writes characters outside ASCII as references; its line breaks are not text.
    with open(path, "rb") as f:
        raw = f.read()
    rows = []
    for part in document_parts(raw):
        with open(os.path.join(scratch, "part.rtf"), "wb") as f:
            f.write(part)
        run = subprocess.run(["unrtf", "--html", f.name], capture_output=True)
        if run.returncode != 0:
            sys.exit("unrtf exit %d on %s: %s" % (run.returncode, path, run.stderr.decode("utf-8", "replace")))
        markup = run.stdout.decode("utf-8", "surrogateescape")
        rows += [[[REFERENCE.sub(reference, TAG.sub("", cell).replace("\n", "")), None] for cell in CELL.findall(row)]
                 for row in ROW.findall(markup)]
    return {"tables": [rows]}


# ---- XML and RSS -------------------------------------------------------------------------------

problems = []


def differ(where, got, want):
    problems.append(f"{where}: got {got!r}, want {want!r}")


def check_encoding(path, raw, want):
    bom = raw.startswith(b"\xef\xbb\xbf")
    head = raw[3:] if bom else raw
    declared = head.split(b"?>", 1)[0].split(b'encoding="', 1)[1].split(b'"', 1)[0].decode("ascii")
    if declared != want:
        differ(f"{path}: declared encoding", declared, want)
    if bom and declared != "UTF-8":
        differ(f"{path}: byte-order mark with encoding", declared, "UTF-8")
    try:
        head.decode(declared, errors="strict")
    except (UnicodeDecodeError, LookupError) as e:
        problems.append(f"{path}: does not decode as {declared} as a whole: {e}")


def check_xml(path, raw, want):
    import xml.etree.ElementTree as ET
    import lxml.etree
    for reader, root in (("etree", ET.fromstring(raw)), ("lxml", lxml.etree.fromstring(raw))):
        names = [f.findtext("Field_Name") or "" for f in root.find("Structure")]
        if names != want["names"]:
            differ(f"{path} ({reader}): field names", names, want["names"])
        records = list(root.find("Records"))
        if len(records) != len(want["records"]):
            differ(f"{path} ({reader}): records", len(records), len(want["records"]))
        for r, (record, values) in enumerate(zip(records, want["records"])):
            got = [child.text or "" for child in record]
            if got != values:
                differ(f"{path} ({reader}): record {r}", got, values)
            if "tags" in want and [child.tag for child in record] != want["tags"]:
                differ(f"{path} ({reader}): record {r} tags", [child.tag for child in record], want["tags"])


def c1_as_1252(c):
    if "\x80" <= c <= "\x9f":
        try:
            return c.encode("latin-1").decode("cp1252")
        except UnicodeDecodeError:
            pass
    return c


def check_rss(path, raw, want):
    import xml.etree.ElementTree as ET
    import feedparser
    feed = feedparser.parse(raw, sanitize_html=False)
    if feed.bozo:
        problems.append(f"{path}: feedparser: {feed.get('bozo_exception')}")
    if len(feed.entries) != len(want["records"]):
        differ(f"{path}: items", len(feed.entries), len(want["records"]))
    # feedparser hands title and description back as HTML, as a feed reader shows them: a bare & as
    # &amp;, an empty element <x/> as <x></x>, no blanks at the ends, and the characters U+0080..U+009F
    # read as windows-1252 where that code page has a character for them.
    def shown(text):
        text = re.sub(r"<(\w+)/>", r"<\1></\1>", html.unescape(text)).strip()
        return "".join(c1_as_1252(c) for c in text)
    for i, (entry, values) in enumerate(zip(feed.entries, want["records"])):
        for key, value in zip(("title", "link", "description"), values):
            if value is not None and shown(entry.get(key, "")) != shown(value):
                differ(f"{path}: item {i} {key}", entry.get(key), value)
    # The exact values, from the parsed document.
    items = ET.fromstring(raw).find("channel").findall("item")
    for i, (item, values) in enumerate(zip(items, want["records"])):
        got = {child.tag: child.text or "" for child in item}
        for key, value in zip(("title", "link", "description"), values):
            if got.get(key) != value:  # a position left out has no element
                differ(f"{path}: item {i} <{key}>", got.get(key), value)
        if len(got) != sum(v is not None for v in values):
            differ(f"{path}: item {i} elements", list(got), values)


def check_xml_files(args):
    for kind, path, expected in zip(args[0::3], args[1::3], args[2::3]):
        with open(expected, encoding="utf-8") as f:
            want = json.load(f)
        with open(path, "rb") as f:
            raw = f.read()
        lint = subprocess.run(["xmllint", "--noout", path], capture_output=True)
        if lint.returncode != 0:
            problems.append(f"{path}: xmllint: {lint.stderr.decode('utf-8', 'replace')}")
        try:
            check_encoding(path, raw, want["encoding"])
            (check_rss if kind == "rss" else check_xml)(path, raw, want)
        except Exception as e:  # a parse error is a finding, not a crash of the check
            problems.append(f"{path}: {type(e).__name__}: {e}")
    for p in problems:
        print(p)
    return 1 if problems else 0


def main(mode, args):
    if mode == "xml":
        return check_xml_files(args)
    if mode == "html":
        pages = []
        for path in args:
            with open(path, "rb") as f:
                pages.append(html5lib_page(f.read()))
        return emit(args, pages)
    scratch = tempfile.mkdtemp(prefix="quorvreaders.")
    try:
        if mode == "rtf":
            return emit(args, [unrtf_document(path, scratch) for path in args])
        return emit(args, chromium_pages(scratch, args))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
