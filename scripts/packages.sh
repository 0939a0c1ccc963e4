# The Debian packages the project needs; sourced by the two top-level scripts.
# Build: compiler, CMake, pxlib and the libraries the writers use.
BUILD_PACKAGES="g++ cmake make pkg-config libgtest-dev pxlib-dev libxlsxwriter-dev libminizip-dev zlib1g-dev libpugixml-dev qt6-base-dev help2man"
# Tests: independent readers of our output.
TEST_PACKAGES="python3 python3-dbfread python3-openpyxl python3-xlrd libxml2-utils sqlite3 postgresql mariadb-server libreoffice-calc-nogui libreoffice-base-drivers libreoffice-writer-nogui poppler-utils chromium python3-html5lib python3-lxml python3-feedparser unrtf locales-all xvfb xauth lintian desktop-file-utils man-db shared-mime-info dpkg-dev"
# Making the Debian package (scripts/make-deb.sh; the manual page needs help2man from the build list).
PACKAGE_PACKAGES="dpkg-dev lintian"
# Fuzzing (fuzz/run.sh only; the suite replays the kept inputs without clang).
FUZZ_PACKAGES="clang-16 libclang-rt-16-dev llvm-16"

# Installs the packages that are missing. As root with apt-get; otherwise prints the one line to run.
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" = 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q >/dev/null || apt-get update
        apt-get install -y --no-install-recommends "${missing[@]}"
    else
        echo "These Debian packages are missing. Install them with:"
        echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}"
        return 1
    fi
}
