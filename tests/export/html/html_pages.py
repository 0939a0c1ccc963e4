#!/usr/bin/python3
"""Reads HTML page files the way a browser does and prints what each page shows.

    html_pages.py parse PAGE...                 parsed by html5lib from the page's bytes
    html_pages.py chromium SCRATCH PAGE...      parsed by headless Chromium (all pages in one run)
    html_pages.py screenshot SCRATCH PAGE PNG   a Chromium screenshot of one page

Output, per page (texts with \\, TAB, CR and LF escaped as \\\\, \\t, \\r, \\n):
    PAGE n / CHARSET name / TITLE text / BODY text-colour TAB bgcolor
    TAGS the element names in the page / ATTRS the attribute names
    T (a table) / R (a row) / C tag TAB href TAB text (a cell; href of its link, or empty)
    L href TAB text (a link outside the tables)
"""
import json
import os
import subprocess
import sys


def esc(text):
    if text is None:
        return ""
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def collect_html5lib(raw):
    import html5lib
    doc = html5lib.HTMLParser(namespaceHTMLElements=False).parse(raw)
    page = {"tags": set(), "attrs": set(), "tables": [], "links": []}
    inside = set()
    for table in doc.iter("table"):
        rows = []
        for row in table.iter("tr"):
            cells = []
            for cell in row:
                if cell.tag not in ("td", "th"):
                    continue
                link = cell.find(".//a")
                cells.append([cell.tag, link.get("href") if link is not None else None, "".join(cell.itertext())])
                inside.update(id(a) for a in cell.iter("a"))
            rows.append(cells)
        page["tables"].append(rows)
    for element in doc.iter():
        page["tags"].add(element.tag)
        page["attrs"].update(element.attrib.keys())
        if element.tag == "a" and id(element) not in inside:
            page["links"].append([element.get("href"), "".join(element.itertext())])
    meta = doc.find(".//meta")
    page["charset"] = meta.get("charset") if meta is not None else ""
    title = doc.find(".//title")
    page["title"] = "".join(title.itertext()) if title is not None else None
    body = doc.find(".//body")
    page["body"] = [body.get("text"), body.get("bgcolor")]
    return page


CHROMIUM_SCRIPT = """
function collect(d) {
  const page = {tags: [], attrs: [], tables: [], links: [], charset: d.characterSet.toLowerCase()};
  const tags = new Set(), attrs = new Set();
  for (const e of d.getElementsByTagName('*')) {
    tags.add(e.localName);
    for (const a of e.attributes) attrs.add(a.name);
  }
  page.tags = [...tags]; page.attrs = [...attrs];
  for (const t of d.querySelectorAll('table'))
    page.tables.push([...t.rows].map(r => [...r.cells].map(c => {
      const a = c.querySelector('a');
      return [c.localName, a ? a.getAttribute('href') : null, c.textContent];
    })));
  for (const a of d.querySelectorAll('a'))
    if (!a.closest('table')) page.links.push([a.getAttribute('href'), a.textContent]);
  const title = d.querySelector('title');
  page.title = title ? title.textContent : null;
  page.body = [d.body.getAttribute('text'), d.body.getAttribute('bgcolor')];
  return page;
}
window.addEventListener('load', () => {
  const pages = [...document.querySelectorAll('iframe')].map(f => collect(f.contentDocument));
  document.getElementById('out').textContent = JSON.stringify(pages);
});
"""


def chromium_args(scratch):
    return ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + os.path.join(scratch, "profile")]


def run_chromium(scratch, args):
    env = dict(os.environ, HOME=scratch)
    return subprocess.run(chromium_args(scratch) + args, env=env, capture_output=True, timeout=300)


def collect_chromium(scratch, pages):
    wrapper = os.path.join(scratch, "pages.html")
    with open(wrapper, "w", encoding="utf-8") as out:
        out.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body><pre id="out"></pre>\n')
        for page in pages:
            out.write('<iframe src="file://%s"></iframe>\n' % os.path.abspath(page).replace('"', "%22"))
        out.write("<script>%s</script></body></html>\n" % CHROMIUM_SCRIPT)
    result = run_chromium(scratch, ["--allow-file-access-from-files", "--virtual-time-budget=20000",
                                    "--dump-dom", "file://" + wrapper])
    import html5lib
    doc = html5lib.HTMLParser(namespaceHTMLElements=False).parse(result.stdout.decode("utf-8"))
    pre = doc.find(".//pre")
    text = "".join(pre.itertext()) if pre is not None else ""
    if not text:
        sys.stderr.write("chromium gave no pages (exit %d): %s\n" % (result.returncode, result.stderr[-2000:]))
        sys.exit(1)
    return json.loads(text)


def emit(pages):
    lines = []
    for n, page in enumerate(pages):
        lines.append("PAGE %d" % n)
        lines.append("CHARSET " + esc(page["charset"]))
        lines.append("TITLE " + esc(page["title"]))
        lines.append("BODY %s\t%s" % (esc(page["body"][0]), esc(page["body"][1])))
        lines.append("TAGS " + " ".join(sorted(page["tags"])))
        lines.append("ATTRS " + " ".join(sorted(page["attrs"])))
        for table in page["tables"]:
            lines.append("T")
            for row in table:
                lines.append("R")
                for tag, href, text in row:
                    lines.append("C %s\t%s\t%s" % (tag, esc(href), esc(text)))
        for href, text in page["links"]:
            lines.append("L %s\t%s" % (esc(href), esc(text)))
    sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("utf-8", "surrogatepass"))


def main():
    mode = sys.argv[1]
    if mode == "parse":
        pages = []
        for path in sys.argv[2:]:
            with open(path, "rb") as f:
                pages.append(collect_html5lib(f.read()))
        emit(pages)
    elif mode == "chromium":
        emit(collect_chromium(sys.argv[2], sys.argv[3:]))
    elif mode == "screenshot":
        scratch, page, png = sys.argv[2:5]
        result = run_chromium(scratch, ["--window-size=900,700", "--screenshot=" + png, "file://" + os.path.abspath(page)])
        if not os.path.exists(png):
            sys.stderr.write("no screenshot (exit %d): %s\n" % (result.returncode, result.stderr[-2000:]))
            sys.exit(1)


if __name__ == "__main__":
    main()
