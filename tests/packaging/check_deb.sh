#!/usr/bin/env bash
# Builds Quelm's Debian package and checks it as a user's system would see it: unpacked into
# a fresh root, every file where the screensaver daemons and desktops look for it, the
# metadata valid, lintian finding no error or warning, and the packaged program starting the
# show and ending on SIGTERM.
#
# Usage: check_deb.sh [BUILD_DIR]
#   BUILD_DIR  a configured and built tree of Quelm: package that tree with cpack
#              (as the test suite does); without it, scripts/package.sh makes a Release build.
# With DISPLAY set (scripts/with-services.sh) the packaged program is also started.
set -uo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/quelm-check-deb.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
ok()   { echo "ok - $*"; passed=$((passed + 1)); }
fail() { echo "FAIL - $*"; failed=$((failed + 1)); }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# --- Build the package -------------------------------------------------------------------
if [ $# -ge 1 ]; then
  build=$(cd "$1" && pwd)
  if ! (cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log"; fail "cpack makes the Debian package"; finish
  fi
  deb=$(ls "$work"/pkg/quelm_*.deb 2>/dev/null | head -n1)
else
  deb=$("$here/scripts/package.sh" | tail -n1)
  build=$here/build-package
fi
if [ -z "$deb" ] || [ ! -f "$deb" ]; then fail "a quelm_*.deb was made"; finish; fi
ok "package built: $(basename "$deb")"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")

# --- Control fields ----------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
check "Version is the project's ($version-1)" test "$(field Version)" = "$version-1"
depends=$(field Depends)
root=$work/root
dpkg-deb -x "$deb" "$root"
# Every library the program links comes from a package it depends on, and every dependency
# (the first of each set of alternatives) is a Debian package by that name.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
unlisted=""
for lib in $(objdump -p "$root/usr/bin/quelm" | awk '/NEEDED/ {print $2}'); do
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

# --- Debian's rules: the licence, the changelog, and lintian -----------------------------------
doc=$root/usr/share/doc/quelm
check "/usr/share/doc/quelm/copyright is there" test -s "$doc/copyright"
check "/usr/share/doc/quelm/changelog.Debian.gz's latest entry is of version $(field Version)" \
  sh -c "gzip -dc '$doc/changelog.Debian.gz' | head -n1 | grep -qF 'quelm ($(field Version)) '"
if command -v lintian >/dev/null; then
  # Errors and warnings only; the informational notes are explained in packaging.cmake.
  verdict=$(lintian "$deb" 2>&1 | grep -E '^[EW]: ')
  [ -n "$verdict" ] && echo "$verdict"
  check "lintian finds no error or warning" test -z "$verdict"
else
  fail "lintian is installed"
fi

# --- Where the daemons and desktops look --------------------------------------------------
xml=$root/usr/share/xscreensaver/config/quelm.xml
check "XScreenSaver's /usr/share/xscreensaver/config/quelm.xml names the hack quelm and runs it with -root" \
  test "$(xmllint --xpath 'concat(/screensaver/@name, " ", /screensaver/command/@arg)' "$xml")" = "quelm -root"
man6=$root/usr/share/man/man6/quelm.6.gz
check "the manual page /usr/share/man/man6/quelm.6.gz is of Quelm $version" \
  sh -c "gzip -dc '$man6' | grep -q '^\.TH .*\"Quelm $version\"'"
desktop=$root/usr/share/applications/screensavers/quelm.desktop
verdict=$(desktop-file-validate "$desktop" 2>&1)
check "desktop-file-validate accepts /usr/share/applications/screensavers/quelm.desktop" \
  test "$?" -eq 0 -a -z "$(grep -E 'error:|warning:' <<<"$verdict")"
entry() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$desktop"; }
check "the desktop entry runs the packaged program with -root" \
  test "$(entry Exec)" = "/usr/bin/quelm -root" -a -x "$root$(entry TryExec)"

# --- The packaged program runs --------------------------------------------------------------
# In a sanitizer build the packaged program is stripped, so leak reports cannot be matched
# against the suppressions by name; leaks are checked by the program's own tests, on the
# unstripped build. Other sanitizer findings still end the program with an error.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
out=$("$root/usr/bin/quelm" --version 2>&1); rc=$?
check "quelm --version prints \"quelm $version\"" test "$rc" -eq 0 -a "$out" = "quelm $version"

if [ -n "${DISPLAY:-}" ] && command -v xwininfo >/dev/null; then
  # within N COMMAND...: true once COMMAND succeeds, tried every quarter second N times.
  within() { local n=$1 i; shift; for i in $(seq 1 "$n"); do "$@" && return 0; sleep 0.25; done; return 1; }
  # The show makes its window unseen at the start and shows (maps) it once the walls are ready.
  show_shown() { xwininfo -name Quib_Main 2>/dev/null | grep -q 'Map State: IsViewable'; }

  # The xsecurelock module, pointed at the packaged program, draws into the root window.
  sed "s|\"/usr/bin/quelm\"|\"$root/usr/bin/quelm\"|" "$module" >"$work/saver_quelm"
  chmod +x "$work/saver_quelm"
  ( unset XSCREENSAVER_WINDOW; exec "$work/saver_quelm" ) >"$work/module.log" 2>&1 &
  saver=$!; pids+=("$saver")
  check "saver_quelm starts the packaged program's show within 60 s" within 240 show_shown
  kill -TERM "$saver" 2>/dev/null
  ended() { ! kill -0 "$saver" 2>/dev/null; }
  ends_cleanly() { within 120 ended && wait "$saver"; }
  check "saver_quelm's show ends on SIGTERM within 30 s with exit code 0" ends_cleanly
  check "saver_quelm's show leaves no wall folder" \
    sh -c "! ls -d '${XDG_RUNTIME_DIR:-/tmp}'/quelm-walls-* >/dev/null 2>&1"
  [ -s "$work/module.log" ] && { echo "--- module.log"; cat "$work/module.log"; }
fi

finish
