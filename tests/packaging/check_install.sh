#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop user meets: every file in
# its place, the desktop entry, the MIME type, the manual page (rendered, and naming the switches
# and output types --help names), and the user guide where the Help button looks for it.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
export LC_ALL=C.UTF-8 TZ=UTC
for tool in desktop-file-validate:desktop-file-utils man:man-db update-mime-database:shared-mime-info; do
    command -v "${tool%%:*}" >/dev/null || { echo "SKIP: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 77; }
done
T=$(mktemp -d /tmp/quorv-install.XXXXXX)
trap 'rm -rf "$T"' EXIT
failed=0
problem() { echo "FAIL: $*" >&2; failed=1; }

prefix=/usr/local
DESTDIR=$T/dest cmake --install "$build" --prefix "$prefix" >"$T/install.log" 2>&1 ||
    { cat "$T/install.log"; echo "FAIL: cmake --install" >&2; exit 1; }
root=$T/dest$prefix
for f in bin/quorv share/applications/quorvane.desktop share/mime/packages/quorvane.xml \
         share/icons/hicolor/scalable/apps/quorvane.svg share/icons/hicolor/48x48/apps/quorvane.png \
         share/icons/hicolor/256x256/apps/quorvane.png share/man/man1/quorv.1 \
         share/doc/quorvane/copyright share/doc/quorvane/changelog.gz; do
    [ -s "$root/$f" ] || problem "$prefix/$f is not installed (or empty)"
done
[ -x "$root/bin/quorv" ] || { echo "FAIL: no program installed" >&2; exit 1; }

# The PNG icons are as large as the folder they are in says (width and height from the header).
for size in 48 256; do
    png=$root/share/icons/hicolor/${size}x$size/apps/quorvane.png
    [ -f "$png" ] || continue
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
    [ "$dims" = "${size}x$size" ] || problem "the ${size}x$size icon is $dims"
done

# The wizard's Help button: <program folder>/../share/doc/quorvane/guide/index.html, and every
# file the guide links to is installed beside it.
guide=$root/bin/../share/doc/quorvane/guide
if [ -f "$guide/index.html" ]; then
    /usr/bin/python3 - "$guide" <<'PY' || problem "the installed guide links to files that are not installed"
import html.parser, os, sys, urllib.parse
guide = sys.argv[1]
missing, seen, todo = [], set(), ["index.html"]
class Links(html.parser.HTMLParser):
    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value:
                url = urllib.parse.urlsplit(value)
                if not url.scheme and url.path:
                    self.found.append(os.path.normpath(os.path.join(self.folder, urllib.parse.unquote(url.path))))
while todo:
    page = todo.pop()
    if page in seen:
        continue
    seen.add(page)
    if not os.path.isfile(os.path.join(guide, page)):
        missing.append(page)
        continue
    if page.endswith((".html", ".htm")):
        parser = Links()
        parser.found, parser.folder = [], os.path.dirname(page)
        parser.feed(open(os.path.join(guide, page), encoding="utf-8", errors="replace").read())
        todo += parser.found
for page in missing:
    print("missing from the installed guide:", page)
sys.exit(1 if missing else 0)
PY
else
    problem "the guide is not at <prefix>/bin/../share/doc/quorvane/guide/index.html"
fi

# Desktop entry: valid, and starting the wizard with the file the user opened.
desktop=$root/share/applications/quorvane.desktop
desktop-file-validate "$desktop" || problem "desktop-file-validate rejects the desktop entry"
for line in 'Name=Quorvane' 'Exec=quorv --wizard %f' 'Categories=Office;Database;' 'Icon=quorvane'; do
    grep -qxF "$line" "$desktop" || problem "the desktop entry lacks $line"
done
mime=$(sed -n 's/^MimeType=//p' "$desktop")

# MIME type: the database built from our package file gives *.db files the type the entry opens.
mkdir -p "$T/mime/packages" && cp "$root/share/mime/packages/quorvane.xml" "$T/mime/packages/"
if XDG_DATA_DIRS=$T update-mime-database "$T/mime" 2>"$T/mime.err" && ! [ -s "$T/mime.err" ]; then
    grep -q "^[0-9]*:${mime%;}:\*\.db$" "$T/mime/globs2" || problem "the MIME database has no *.db glob for ${mime%;}"
else
    cat "$T/mime.err" >&2
    problem "update-mime-database rejects share/mime/packages/quorvane.xml"
fi

# Manual page: renders without warnings and has its sections.
page=$root/share/man/man1/quorv.1
if [ -f "$page" ]; then
    MANWIDTH=80 man --warnings -l "$page" >"$T/man.txt" 2>"$T/man.err"
    [ -s "$T/man.err" ] && { cat "$T/man.err" >&2; problem "man -l reports problems in quorv.1"; }
    for section in NAME SYNOPSIS DESCRIPTION 'FILTER FILES' 'EXIT STATUS' FILES EXAMPLES; do
        grep -qx "$section" "$T/man.txt" || problem "the manual page has no $section section"
    done
    grep -qF 'quorvane/quorv.conf' "$T/man.txt" || problem "the manual page does not name the settings file"
    # The switches and output types: the tags of the lists in the page, and the lines of --help.
    sed -n '/^\.TP$/{n;/^\./d;s/\\f[BIRP]//g;s/\\-/-/g;s/\\&//g;p}' "$page" | grep -E '^(/|--|\.)[A-Za-z]' |
        sed 's/ .*//' | sort -u >"$T/man-switches"
    "$root/bin/quorv" --help | sed -n 's/^  \([/.-][^ ]*\).*/\1/p' | sort -u >"$T/help-switches"
    [ -s "$T/help-switches" ] || problem "--help lists no switches"
    diff "$T/help-switches" "$T/man-switches" >"$T/switch.diff" ||
        { cat "$T/switch.diff" >&2; problem "--help (<) and the manual page (>) name different switches"; }
fi

# /uninstall tells how to remove the package and a source install.
"$root/bin/quorv" /uninstall >"$T/uninstall.txt" || problem "quorv /uninstall failed"
for text in 'apt remove quorvane' 'install_manifest.txt'; do
    grep -qF "$text" "$T/uninstall.txt" || problem "quorv /uninstall does not say: $text"
done

# The changelog's newest entry is this version.
version=$("$root/bin/quorv" --version | sed -n 's/^quorv //p')
zcat "$root/share/doc/quorvane/changelog.gz" | head -1 | grep -qF "quorvane ($version)" ||
    problem "the newest changelog entry is not version $version"

exit $failed
