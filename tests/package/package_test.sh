#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a scratch root
# and checks what a user would get: the control fields, the installed files,
# the desktop entry, the manual pages, the licence and AppStream files, what
# lintian says, and the unpacked program opening its
# window on a private X server. The program only ever meets stub nslookup,
# nmap and ping scripts, and the one host it is given is 127.0.0.1.
#
# Usage: package_test.sh BUILD_DIR
set -uo pipefail

build="${1:?usage: package_test.sh BUILD_DIR}"
build="$(cd "$build" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

for tool in cpack dpkg-deb dpkg-parsechangelog lintian appstreamcli desktop-file-validate man \
            Xvfb xdotool xprop xwininfo xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

scratch="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-package.XXXXXX")"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- the package --------------------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
debs=("$scratch"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb, got: ${debs[*]}"; exit 1; }
deb="${debs[0]}"
pass "cpack built $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tandrel ] && pass "Package: tandrel" || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] && pass "Architecture matches" \
  || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = net ] && pass "Section: net" || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] && pass "Maintainer has name and address" \
  || fail "Maintainer is '$(field Maintainer)'"
description="$(field Description)"
[ "$(printf '%s\n' "$description" | wc -l)" -ge 2 ] && pass "Description has a summary and a body" \
  || fail "Description is '$description'"

# Depends as one relation per line, version bounds removed, alternatives as "a | b".
depends="$(field Depends | tr ',' '\n' | sed -e 's/([^)]*)//g' -e 's/  */ /g' -e 's/^ //' -e 's/ $//')"
for relation in libx11-6 libxext6 libxrandr2 libxpm4 nmap "bind9-dnsutils | dnsutils" iputils-ping; do
  grep -qxF "$relation" <<<"$depends" && pass "Depends names '$relation'" \
    || fail "Depends lacks '$relation': $(field Depends)"
done
dupes="$(sed 's/ |.*//' <<<"$depends" | sort | uniq -d)"
[ -z "$dupes" ] && pass "Depends names every package once" || fail "Depends repeats: $dupes"

# Every shared library the binary links directly comes from a package that
# Depends names (the C and C++ runtime through dpkg-shlibdeps).
names="$(tr '|' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/ *$//')"
owner_of() {  # the package that holds a library path, tried as given and resolved
  local path
  for path in "$1" "$(readlink -f "$1")" "${1/#\/usr\/lib\//\/lib/}" "${1/#\/lib\//\/usr\/lib/}"; do
    dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1 && return
  done
}
root="$scratch/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
bin="$root/usr/bin/tandrel"
if [ -x "$bin" ]; then
  pass "usr/bin/tandrel is executable"
  resolved="$(ldd "$bin")"
  for soname in $(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    lib="$(awk -v n="$soname" '$1 == n && $2 == "=>" { print $3 }' <<<"$resolved")"
    owner="$( [ -n "$lib" ] && owner_of "$lib")"
    if [ -z "$owner" ]; then
      fail "no package owns $soname (${lib:-not found})"
    elif grep -qxF "$owner" <<<"$names"; then
      pass "$soname comes from $owner, which Depends names"
    else
      fail "$soname comes from $owner, which Depends does not name"
    fi
  done
else
  fail "usr/bin/tandrel missing or not executable"
fi

# Nothing outside /usr, nothing from the build tree.
strays="$(dpkg-deb -c "$deb" | awk '{ print $6 }' |
          grep -vE '^\./usr/(bin|share/(man|applications|icons|metainfo|doc/tandrel|lintian/overrides))(/|$)' |
          grep -vE '^\./(usr/(share/(doc/|lintian/)?)?)?$')"
[ -z "$strays" ] && pass "only bin, man, applications, icons, metainfo, doc and overrides are packed" \
  || fail "unexpected files: $strays"

# --- desktop entry and icons --------------------------------------------------
desktop="$root/usr/share/applications/tandrel.desktop"
if [ -f "$desktop" ]; then
  if out="$(desktop-file-validate "$desktop" 2>&1)" && [ -z "$out" ]; then
    pass "desktop-file-validate accepts tandrel.desktop"
  else
    fail "desktop-file-validate: $out"
  fi
  for line in Type=Application Exec=tandrel Icon=tandrel Terminal=false StartupWMClass=tandrel; do
    grep -qxF "$line" "$desktop" && pass "desktop entry has $line" || fail "desktop entry lacks $line"
  done
  grep -q '^Name\[de\]=.' "$desktop" && pass "desktop entry has a German name" || fail "no Name[de]"
else
  fail "usr/share/applications/tandrel.desktop missing"
fi

icons="$root/usr/share/icons/hicolor"
grep -q '<svg' "$icons/scalable/apps/tandrel.svg" 2>/dev/null && pass "scalable icon is an SVG" \
  || fail "hicolor/scalable/apps/tandrel.svg missing or no SVG"
for size in 16 32 48 64 128 256; do
  png="$icons/${size}x${size}/apps/tandrel.png"
  # PNG signature, then the IHDR chunk's width and height (big-endian) at bytes 16..23.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
                  awk '{ print ($1*16777216+$2*65536+$3*256+$4), ($5*16777216+$6*65536+$7*256+$8) }')
  if [ "$(od -An -tx1 -N8 "$png" 2>/dev/null | tr -d ' ')" = 89504e470d0a1a0a ] &&
     [ "${w:-}" = "$size" ] && [ "${h:-}" = "$size" ]; then
    pass "${size}x${size} icon is a ${size}x${size} PNG"
  else
    fail "${size}x${size}/apps/tandrel.png missing or ${w:-?}x${h:-?}"
  fi
done

# --- manual pages -------------------------------------------------------------
check_man() {  # file, then texts the rendered page must hold
  local page="$1"; shift
  [ -f "$page" ] || { fail "${page#"$root"/} missing"; return; }
  local warnings
  warnings="$(LC_ALL=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] && pass "${page#"$root"/} renders without warnings" \
    || fail "${page#"$root"/}: $warnings"
  local text
  # Plain text on one line: words hyphenated at a line end joined again,
  # runs of blanks from justification squeezed.
  text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | col -b |
          sed -z 's/\xe2\x80\x90\n *//g' | tr -s ' \t\n' '   ')"
  for want in "$@"; do
    grep -qF -- "$want" <<<"$text" || fail "${page#"$root"/} does not mention '$want'"
  done
}
common=(tandrel.cfg "terminal=xterm -e" Neuladen "Ping alle" FTP-Client SSH-Client
        "Host nicht erreichbar" "Name abgelehnt" ZORGFX null nslookup nmap "ping host -c 1" "Zeige N Server")
check_man "$root/usr/share/man/man1/tandrel.1.gz" "${common[@]}" "EXIT STATUS" ENVIRONMENT tooltip
check_man "$root/usr/share/man/de/man1/tandrel.1.gz" "${common[@]}" EXIT-STATUS UMGEBUNG \
  Schaltfläche Tooltip
pass "manual pages checked"

# --- licence, changelog, AppStream, lintian -----------------------------------
# lintian fails on no error or warning that these miss: a stanza dropped, a
# version bumped in one place only.
copyright="$root/usr/share/doc/tandrel/copyright"
grep -qzP 'Files: \*\nCopyright: [^\n]+\nLicense: MIT\n' "$copyright" 2>/dev/null \
  && grep -qzP 'Files: gfx/data_block_packed.cpp\n[^\n]+\nLicense: public-domain\n(?: [^\n]*\n)*? [^\n]*vgasrc/vgafonts.c' "$copyright" \
  && pass "copyright: MIT for the project, public domain for the font block and its origin" \
  || fail "copyright file lacks the MIT or the font block stanza"
version="$(field Version)"
logged="$(gzip -dc "$root/usr/share/doc/tandrel/changelog.Debian.gz" 2>/dev/null |
          dpkg-parsechangelog -l - -S Version 2>/dev/null)"
[ "$logged" = "$version" ] && pass "changelog.Debian.gz starts with $version" \
  || fail "changelog.Debian.gz starts with '$logged', the package is $version"
metainfo="$root/usr/share/metainfo/invalid.tandrel.tandrel.metainfo.xml"
if out="$(appstreamcli validate --no-net "$metainfo" 2>&1)"; then
  pass "appstreamcli validate --no-net accepts the metainfo"
else
  fail "appstreamcli validate: $out"
fi
released="$(grep -o '<release version="[^"]*"' "$metainfo" 2>/dev/null | head -1 | cut -d'"' -f2)"
[ "$released" = "${version%-*}" ] && pass "metainfo's newest release is ${version%-*}" \
  || fail "metainfo's newest release is '$released', the package is ${version%-*}"
# Every override is preceded by a comment saying why it is right here.
bare="$(awk '/^#/ { why = 1; next } /^[[:space:]]*$/ { why = 0; next } !why' \
        "$root/usr/share/lintian/overrides/tandrel" 2>/dev/null)"
[ -z "$bare" ] && pass "every lintian override has its reason" || fail "override without a reason: $bare"
if out="$(lintian --fail-on error,warning "$deb" 2>&1)"; then
  pass "lintian reports no error or warning"
else
  fail "lintian: $out"
fi

# --- the unpacked program -----------------------------------------------------
[ -x "$bin" ] || { echo "$failures check(s) failed"; exit 1; }

stubs="$scratch/stubs"
mkdir -p "$stubs"
calls="$scratch/calls.log"
: >"$calls"
cat >"$stubs/nslookup" <<EOF
#!/bin/sh
echo "nslookup \$*" >>"$calls"
printf 'Server:\t\t127.0.0.1\nAddress:\t127.0.0.1#53\n\nName:\tlocalhost\nAddress: 127.0.0.1\n\n'
EOF
cat >"$stubs/nmap" <<EOF
#!/bin/sh
echo "nmap \$*" >>"$calls"
printf 'Nmap scan report for localhost (127.0.0.1)\nHost is up (0.00010s latency).\n'
printf 'PORT      STATE  SERVICE\n22/tcp    open   ssh\n\nNmap done: 1 IP address (1 host up)\n'
EOF
cat >"$stubs/ping" <<EOF
#!/bin/sh
echo "ping \$*" >>"$calls"
printf 'PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.\n'
printf '64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.042 ms\n'
EOF
chmod +x "$stubs"/*
run="$scratch/run"
mkdir -p "$run"
printf 'terminal=true\n# the test host\n127.0.0.1\n' >"$run/tandrel.cfg"
export PATH="$stubs:$PATH" HOME="$scratch"
unset ZORGFX

# Exit statuses that need no window: no tandrel.cfg, and no X display.
mkdir -p "$scratch/empty"
(cd "$scratch/empty" && DISPLAY= "$bin" >"$scratch/nocfg.out" 2>"$scratch/nocfg.err" </dev/null)
status=$?
[ $status -ne 0 ] && [ -s "$scratch/nocfg.err" ] && pass "without tandrel.cfg: status $status and a message" \
  || fail "without tandrel.cfg: status $status, message '$(cat "$scratch/nocfg.err")'"
(cd "$run" && timeout 30 env -u DISPLAY "$bin" >"$scratch/nodisplay.out" 2>"$scratch/nodisplay.err" </dev/null)
status=$?
[ $status -ne 0 ] && [ $status -ne 124 ] && [ -s "$scratch/nodisplay.err" ] \
  && pass "without a display: status $status and a message" \
  || fail "without a display: status $status, message '$(cat "$scratch/nodisplay.err")'"

# A private X server on a display number it picks itself.
exec 3>"$scratch/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=":$(head -1 "$scratch/display" 2>/dev/null)"
if [ "$display" = ":" ] || ! DISPLAY="$display" xdpyinfo >/dev/null 2>&1; then
  cat "$scratch/xvfb.log"
  echo "FAIL: Xvfb did not start"
  exit 1
fi
export DISPLAY="$display"

(cd "$run" && exec "$bin" >"$scratch/app.out" 2>"$scratch/app.err" </dev/null) &
app_pid=$!
window=""
for _ in $(seq 200); do
  window="$(xdotool search --name '^Zeige 1 Server$' 2>/dev/null | head -1)"
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  fail "no window titled 'Zeige 1 Server' (program $(kill -0 "$app_pid" 2>/dev/null && echo running || echo ended): $(cat "$scratch/app.err"))"
else
  pass "window 'Zeige 1 Server' is up"
  geometry="$(xwininfo -id "$window")"
  grep -q 'Width: 800$' <<<"$geometry" && grep -q 'Height: 200$' <<<"$geometry" \
    && pass "window is 800 x 200" \
    || fail "window geometry: $(grep -E 'Width|Height' <<<"$geometry" | tr '\n' ' ')"
  class="$(xprop -id "$window" WM_CLASS)"
  [ "$class" = 'WM_CLASS(STRING) = "tandrel", "tandrel"' ] && pass "WM_CLASS is tandrel, tandrel" \
    || fail "WM_CLASS: $class"
  wm_pid="$(xprop -id "$window" _NET_WM_PID)"
  [ "$wm_pid" = "_NET_WM_PID(CARDINAL) = $app_pid" ] && pass "_NET_WM_PID is the process id" \
    || fail "_NET_WM_PID: $wm_pid (process $app_pid)"
  machine="$(xprop -id "$window" WM_CLIENT_MACHINE)"
  [ "$machine" = "WM_CLIENT_MACHINE(STRING) = \"$(uname -n)\"" ] && pass "WM_CLIENT_MACHINE is this host" \
    || fail "WM_CLIENT_MACHINE: $machine"
fi

# The unpacked program found the tools on PATH: probed the host at start and
# pings it (every 2 s by default).
for _ in $(seq 100); do
  grep -q '^ping ' "$calls" && break
  sleep 0.1
done
for call in "nslookup 127.0.0.1" "nmap 127.0.0.1" "ping 127.0.0.1 -c 1"; do
  grep -qxF "$call" "$calls" && pass "ran '$call'" || fail "did not run '$call' (calls: $(tr '\n' ';' <"$calls"))"
done

if kill -0 "$app_pid" 2>/dev/null; then
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=""
fi

if [ $failures -eq 0 ]; then
  echo "all package checks passed"
  exit 0
fi
echo "$failures check(s) failed"
exit 1
