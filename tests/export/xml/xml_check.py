"""Reads XML and RSS exports back with independent readers and compares them with the source values.

    xml_check.py KIND FILE EXPECTED [KIND FILE EXPECTED ...]

KIND is "xml" or "rss". EXPECTED is a JSON file: {"encoding": declared encoding, "names": [field names],
"tags": [element names] (optional), "records": [[values of one record], ...]}; for RSS "records" holds the
title, link and description of each item, null where the position is left out.
Prints one line per difference and exits 1 when there is any.
"""
import html
import json
import re
import sys
import xml.etree.ElementTree as ET

import feedparser
import lxml.etree

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


def main(args):
    for kind, path, expected in zip(args[0::3], args[1::3], args[2::3]):
        with open(expected, encoding="utf-8") as f:
            want = json.load(f)
        with open(path, "rb") as f:
            raw = f.read()
        try:
            check_encoding(path, raw, want["encoding"])
            (check_rss if kind == "rss" else check_xml)(path, raw, want)
        except Exception as e:  # a parse error is a finding, not a crash of the check
            problems.append(f"{path}: {type(e).__name__}: {e}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
