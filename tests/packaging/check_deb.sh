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
check "Architecture is the machine's" test "$(field Architecture)" = "$(dpkg --print-architecture)"
depends=$(field Depends)
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g')
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6opengl6 libxcb1 libpulse0 libsndfile1 \
           libcdio19 libstdc++6 libgl1-mesa-dri fonts-ipafont-gothic; do
  check "Depends names $lib" grep -qxF "$lib" <<<"$depends_names"
done
check "Depends names an OpenGL driver (libglx-mesa0 | libglx-vendor)" \
  grep -qF "libglx-mesa0 | libglx-vendor" <<<"$depends"
check "Recommends a screensaver daemon" grep -qF "xscreensaver | xsecurelock | xss-lock" <<<"$(field Recommends)"
# Every dependency (the first of each set of alternatives) is a Debian package by that name.
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
root=$work/root
dpkg-deb -x "$deb" "$root"
check "program /usr/bin/quelm is executable" test -f "$root/usr/bin/quelm" -a -x "$root/usr/bin/quelm"
hack=$root/usr/libexec/xscreensaver/quelm
check "XScreenSaver's hack /usr/libexec/xscreensaver/quelm is a link" test -L "$hack"
check "the hack link leads to /usr/bin/quelm inside the package" \
  test "$(cd "$(dirname "$hack")" && realpath -m "$(readlink "$hack")")" = "$(realpath "$root/usr/bin/quelm")"
xml=$root/usr/share/xscreensaver/config/quelm.xml
check "config XML /usr/share/xscreensaver/config/quelm.xml" test -f "$xml"
man6=$root/usr/share/man/man6/quelm.6.gz
check "manual page /usr/share/man/man6/quelm.6.gz is gzip" gzip -t "$man6"
desktop=$root/usr/share/applications/screensavers/quelm.desktop
check "desktop entry /usr/share/applications/screensavers/quelm.desktop" test -f "$desktop"
module=$root/usr/libexec/xsecurelock/saver_quelm
check "xsecurelock module /usr/libexec/xsecurelock/saver_quelm is executable" test -f "$module" -a -x "$module"
check "the xsecurelock module is valid sh" sh -n "$module"
check "the xsecurelock module execs /usr/bin/quelm -root" \
  grep -qxF 'exec "/usr/bin/quelm" -root' "$module"
check "no file names the build or staging folders" \
  sh -c "! grep -rlaF -e _CPack_Packages -e '$build' '$root/usr/share' '$root/usr/libexec/xsecurelock'"

# --- Debian's rules: the licence, the changelog, and lintian -----------------------------------
doc=$root/usr/share/doc/quelm
check "/usr/share/doc/quelm/copyright is machine-readable and gives the MIT (Expat) licence" \
  sh -c "head -n1 '$doc/copyright' | grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
         grep -qx 'License: Expat' '$doc/copyright'"
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

# --- XScreenSaver's XML -------------------------------------------------------------------
if command -v xmllint >/dev/null; then
  check "the XML is well-formed" xmllint --noout "$xml"
  xp() { xmllint --xpath "$1" "$xml" 2>/dev/null; }
  check "the XML names the hack quelm" test "$(xp 'string(/screensaver/@name)')" = quelm
  check "the XML's label is Quelm" test "$(xp 'string(/screensaver/@_label)')" = Quelm
  check "the XML says it is an OpenGL hack" test "$(xp 'string(/screensaver/@gl)')" = yes
  check "the XML's command is -root" test "$(xp 'string(/screensaver/command/@arg)')" = -root
  check "the XML's description says quelm /c holds the settings" \
    grep -qF '"quelm /c"' <<<"$(xp 'string(/screensaver/_description)')"
else
  fail "xmllint (libxml2-utils) is installed"
fi

# --- Manual page ----------------------------------------------------------------------------
if command -v man >/dev/null; then
  mantext=$(MANWIDTH=200 man -l "$man6" 2>/dev/null | col -b)
  check "the manual page is of Quelm $version" grep -qF "Quelm $version" <<<"$mantext"
  for text in "quelm -root" "-window-id" "quelm /c" "saver_quelm" "xss-lock -- quelm /s" \
              "~/.local/share/quelm" "SIGTERM"; do
    check "the manual page tells of \"$text\"" grep -qF -- "$text" <<<"$mantext"
  done
fi

# --- Desktop entry ------------------------------------------------------------------------
if command -v desktop-file-validate >/dev/null; then
  verdict=$(desktop-file-validate "$desktop" 2>&1)
  check "desktop-file-validate finds no error or warning" \
    test -z "$(grep -E 'error:|warning:' <<<"$verdict")"
else
  fail "desktop-file-validate (desktop-file-utils) is installed"
fi
entry() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$desktop"; }
check "the desktop entry is an Application" test "$(entry Type)" = Application
check "the desktop entry's category is Screensaver" test "$(entry Categories)" = "Screensaver;"
check "the desktop entry runs /usr/bin/quelm -root" test "$(entry Exec)" = "/usr/bin/quelm -root"
check "the desktop entry's TryExec is the packaged program" test -x "$root$(entry TryExec)"
check "the desktop entry offers the settings (quelm /c)" grep -qxF "Exec=/usr/bin/quelm /c" "$desktop"
check "the desktop entry carries the KDE screensaver keys" \
  sh -c "grep -q '^X-KDE-Category=' '$desktop' && grep -q '^X-KDE-Type=OpenGL' '$desktop'"

# --- The packaged program runs --------------------------------------------------------------
# In a sanitizer build the packaged program is stripped, so leak reports cannot be matched
# against the suppressions by name; leaks are checked by the program's own tests, on the
# unstripped build. Other sanitizer findings still end the program with an error.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"
out=$("$root/usr/bin/quelm" --version 2>&1); rc=$?
check "quelm --version prints \"quelm $version\"" test "$rc" -eq 0 -a "$out" = "quelm $version"
out=$("$root/usr/bin/quelm" --help 2>&1); rc=$?
check "quelm --help ends with exit code 0" test "$rc" -eq 0
for text in "/s" "/c" "-root" "-window-id"; do
  check "quelm --help names $text" grep -qF -- "$text" <<<"$out"
done

if [ -n "${DISPLAY:-}" ] && command -v xwininfo >/dev/null; then
  # Waits up to $2 seconds for a window titled $1 to be shown (mapped) on the display; the
  # show makes its window unseen at the start and shows it once the walls are ready.
  window_shows() {
    local i
    for i in $(seq 1 $(($2 * 4))); do
      xwininfo -name "$1" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
      sleep 0.25
    done
    return 1
  }
  # Waits up to $2 seconds for process $1 to end; its exit code in $ended_code.
  ends_within() {
    local i
    for i in $(seq 1 $(($2 * 4))); do
      if ! kill -0 "$1" 2>/dev/null; then wait "$1"; ended_code=$?; return 0; fi
      sleep 0.25
    done
    return 1
  }

  # The show, as xss-lock or xautolock start it.
  "$root/usr/bin/quelm" /s >"$work/show.log" 2>&1 &
  show=$!; pids+=("$show")
  check "quelm /s from the package shows its window Quib_Main" window_shows Quib_Main 60
  check "the show has written its wall files" test -f "$root/usr/bin/Quib1.bmp" -a -f "$root/usr/bin/Quib6.bmp"
  kill -TERM "$show" 2>/dev/null
  ended_code=-1
  check "quelm /s ends on SIGTERM" ends_within "$show" 30
  check "quelm /s ends with exit code 0 (was $ended_code)" test "$ended_code" -eq 0
  check "the show's wall files are gone after SIGTERM" \
    sh -c "! ls '$root'/usr/bin/Quib?.bmp >/dev/null 2>&1"

  # The xsecurelock module, pointed at the packaged program, draws into the root window.
  sed "s|\"/usr/bin/quelm\"|\"$root/usr/bin/quelm\"|" "$module" >"$work/saver_quelm"
  chmod +x "$work/saver_quelm"
  ( unset XSCREENSAVER_WINDOW; exec "$work/saver_quelm" ) >"$work/module.log" 2>&1 &
  saver=$!; pids+=("$saver")
  check "saver_quelm starts the show in hack mode" window_shows Quib_Main 60
  kill -TERM "$saver" 2>/dev/null
  ended_code=-1
  check "saver_quelm's show ends on SIGTERM" ends_within "$saver" 30
  check "saver_quelm's show ends with exit code 0 (was $ended_code)" test "$ended_code" -eq 0
  check "saver_quelm's show leaves no wall folder" \
    sh -c "! ls -d '${XDG_RUNTIME_DIR:-/tmp}'/quelm-walls-* >/dev/null 2>&1"
  for f in "$work/show.log" "$work/module.log"; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; cat "$f"; }
  done
fi

finish
