#!/usr/bin/env bash
# Makes the Debian package from this build with CPack, checks it with lintian (no errors), unpacks
# it and runs the packaged program: --version, and a conversion that must give the same file as
# the build's own program.
# Usage: check_deb.sh BUILD_DIR QUORV_BINARY FIXTURE_TOOL
set -uo pipefail
build=$1 quorv=$2 mkfixture=$3
export LC_ALL=C.UTF-8 TZ=UTC
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian man:man-db; do
    command -v "${tool%%:*}" >/dev/null || { echo "SKIP: ${tool%%:*} is missing (Debian package ${tool#*:})"; exit 77; }
done
T=$(mktemp -d /tmp/quorv-deb.XXXXXX)
trap 'rm -rf "$T"' EXIT
failed=0
problem() { echo "FAIL: $*" >&2; failed=1; }

cpack --config "$build/CPackConfig.cmake" -B "$T/pkg" >"$T/cpack.log" 2>&1 ||
    { cat "$T/cpack.log"; echo "FAIL: cpack" >&2; exit 1; }
deb=$(ls "$T"/pkg/*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

mkdir -p "$T/home"
HOME=$T/home TMPDIR=$T lintian -EI --pedantic "$deb" >"$T/lintian.txt" 2>"$T/lintian.err"
status=$?
cat "$T/lintian.txt"
if [ $status -ne 0 ] || grep -q '^E:' "$T/lintian.txt"; then
    cat "$T/lintian.err" >&2
    problem "lintian reports errors (exit $status)"
fi

version=$("$quorv" --version | sed -n 's/^quorv //p')
[ "$(dpkg-deb -f "$deb" Package)" = quorvane ] || problem "the package is not named quorvane"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || problem "the package version is not $version"
dpkg-deb -f "$deb" Depends | grep -q 'pxlib1' || problem "Depends does not name pxlib1: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' >"$T/outside"
[ -s "$T/outside" ] && problem "files outside /usr: $(cat "$T/outside")"

dpkg-deb -x "$deb" "$T/root"
packaged=$T/root/usr/bin/quorv
[ "$("$packaged" --version)" = "quorv $version" ] || problem "the packaged quorv --version says $("$packaged" --version)"
MANWIDTH=80 man --warnings -l "$T/root/usr/share/man/man1/quorv.1.gz" >/dev/null 2>"$T/man.err" && ! [ -s "$T/man.err" ] ||
    problem "the packaged manual page (quorv.1.gz) does not render: $(cat "$T/man.err")"

# A conversion with the packaged program gives the same CSV as the build's program.
"$mkfixture" alltypes "$T/alltypes.db" >/dev/null || { echo "FAIL: the fixture tool" >&2; exit 1; }
"$packaged" "$T/alltypes.db" "$T/packaged.csv" /utf8 || problem "the packaged quorv failed to convert (exit $?)"
"$quorv" "$T/alltypes.db" "$T/built.csv" /utf8 || problem "the build's quorv failed to convert"
[ "$(wc -l <"$T/packaged.csv")" -gt 1 ] || problem "the packaged quorv wrote no records"
cmp -s "$T/packaged.csv" "$T/built.csv" || problem "the packaged quorv writes a different CSV than the build's"

exit $failed
