#!/usr/bin/env bash
# Builds Quelm's Debian package and checks it as a user's system would see it: unpacked into
# a fresh root, every file where the screensaver daemons and desktops look for it, the
# metadata valid, lintian finding no error or warning, and the packaged program running. What
# the program does under the daemons is checked on the build tree's program (hack_program_test,
# xscreensaver_e2e.sh).
#
# Usage: check_deb.sh BUILD_DIR   (a configured and built tree of Quelm, packaged with cpack)
set -uo pipefail

work=$(mktemp -d /tmp/quelm-check-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT

failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAIL - $what"; failed=$((failed + 1)); return 1; fi
}

# --- Build the package -------------------------------------------------------------------
build=$(cd "$1" && pwd)
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1)
deb=$(ls "$work"/pkg/quelm_*.deb 2>/dev/null | head -n1)
check "cpack makes a quelm_*.deb" test -f "$deb" || { cat "$work/cpack.log"; exit 1; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")

# --- Control fields ----------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
check "Version is the project's ($version-1)" test "$(field Version)" = "$version-1"
depends=$(field Depends)
root=$work/root
dpkg-deb -x "$deb" "$root"
# Every library the program and its sound module link comes from a package it depends on, and every dependency
# (the first of each set of alternatives) is a Debian package by that name.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
unlisted=""
sound=$root/usr/lib/$multiarch/quelm/quelm-sound.so
check "the sound module is in /usr/lib/$multiarch/quelm, where the program looks for it" \
  sh -c "test -f '$sound' && objdump -p '$root/usr/bin/quelm' | grep -qE 'RUNPATH +\\\$ORIGIN/../lib/$multiarch/quelm$'"
check "the program itself links no sound library (a show without music loads none)" \
  sh -c "! objdump -p '$root/usr/bin/quelm' | grep -E 'NEEDED.*(pulse|sndfile|cdio)'"
for lib in $(objdump -p "$root/usr/bin/quelm" "$sound" | awk '/NEEDED/ {print $2}' | sort -u); do
  pkg=$(dpkg -S "*/$multiarch/$lib" 2>/dev/null | sed -n '1s/[:,].*//p')
  [ -n "$pkg" ] && grep -qxF "$pkg" <<<"$depends_names" || unlisted+=" $lib($pkg)"
done
check "Depends names the package of every linked library${unlisted:+ (not:$unlisted)}" test -z "$unlisted"
known() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' ||
    apt-cache show "$1" >/dev/null 2>&1
}
missing=""
for name in $(tr ',' '\n' <<<"$depends" | sed 's/|.*//; s/(.*)//; s/ //g' | sort -u); do
  known "$name" || missing+=" $name"
done
check "every dependency is a known package${missing:+ (unknown:$missing)}" test -z "$missing"

# --- Files, as a fresh system gets them --------------------------------------------------
hack=$root/usr/libexec/xscreensaver/quelm
check "XScreenSaver's hack /usr/libexec/xscreensaver/quelm links to /usr/bin/quelm inside the package" \
  test -L "$hack" -a "$(cd "$(dirname "$hack")" && realpath -m "$(readlink "$hack")")" = "$(realpath "$root/usr/bin/quelm")"
module=$root/usr/libexec/xsecurelock/saver_quelm
check "the xsecurelock module /usr/libexec/xsecurelock/saver_quelm execs /usr/bin/quelm -root" \
  grep -qxF 'exec "/usr/bin/quelm" -root' "$module"
check "no file names the build or staging folders" \
  sh -c "! grep -rlaF -e _CPack_Packages -e '$build' '$root/usr/share' '$root/usr/libexec/xsecurelock'"

# --- Debian's rules: the licence and the changelog ----------------------------------------
doc=$root/usr/share/doc/quelm
check "/usr/share/doc/quelm/copyright is there" test -s "$doc/copyright"
check "/usr/share/doc/quelm/changelog.Debian.gz's latest entry is of version $(field Version)" \
  sh -c "gzip -dc '$doc/changelog.Debian.gz' | head -n1 | grep -qF 'quelm ($(field Version)) '"
# Errors and warnings only; the informational notes are explained in packaging.cmake.
verdict=$(lintian "$deb" 2>&1 | grep -E '^[EW]: ')
check "lintian finds no error or warning${verdict:+:
$verdict}" test -z "$verdict"

# --- Where the daemons and desktops look --------------------------------------------------
xml=$root/usr/share/xscreensaver/config/quelm.xml
check "XScreenSaver's /usr/share/xscreensaver/config/quelm.xml names the hack quelm and runs it with -root" \
  test "$(xmllint --xpath 'concat(/screensaver/@name, " ", /screensaver/command/@arg)' "$xml")" = "quelm -root"
man6=$root/usr/share/man/man6/quelm.6.gz
check "the manual page /usr/share/man/man6/quelm.6.gz is of Quelm $version" \
  sh -c "gzip -dc '$man6' | grep -q '^\.TH .*\"Quelm $version\"'"
desktop=$root/usr/share/applications/screensavers/quelm.desktop
check "desktop-file-validate finds no error or warning in the desktop entry" \
  sh -c 'out=$(desktop-file-validate "$1" 2>&1) && ! printf "%s" "$out" | grep -qE "error:|warning:"' _ "$desktop"
entry() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$desktop"; }
# mate-screensaver runs only programs in its engine folders: the entry names the hack link.
check "the desktop entry runs the hack link /usr/libexec/xscreensaver/quelm with -root" \
  test "$(entry Exec)" = "/usr/libexec/xscreensaver/quelm -root" -a "$(entry TryExec)" = /usr/libexec/xscreensaver/quelm

# --- The packaged program runs --------------------------------------------------------------
# In a sanitizer build the packaged program is stripped: its leak reports cannot be matched
# against the suppressions, and leaks are checked on the unstripped build.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
out=$("$root/usr/bin/quelm" --version 2>&1); rc=$?
check "quelm --version prints \"quelm $version\"" test "$rc" -eq 0 -a "$out" = "quelm $version"

echo "$failed failed"
[ "$failed" -eq 0 ]
