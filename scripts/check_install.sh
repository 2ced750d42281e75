#!/usr/bin/env bash
# Checks what `cmake --install` and `cpack -G DEB` make of a built tree:
# installs to a temporary prefix and looks for every file, validates the
# desktop entry and the service unit, runs the installed server, then builds
# the .deb and checks its control fields and contents. Exits non-zero on the
# first failure; leaves nothing behind.
#   scripts/check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check_install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "check_install: $*" >&2
  exit 1
}
step() { echo "check_install: $*"; }

qt=no
grep -q '^TVGUIDE_QT:BOOL=ON$' "$build/CMakeCache.txt" && qt=yes
sizes=(16 24 32 48 64 128 256)

# --- cmake --install into a prefix of our own -------------------------------
prefix=$work/prefix
step "installing to a temporary prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log" >&2
  fail "cmake --install failed"
}
expected=(bin/tvguide-epgd bin/tvguide-probe lib/systemd/system/tvguide-epgd.service
  etc/default/tvguide-epgd share/doc/tvguide/README.md share/doc/tvguide/tvguide-epgd.md)
if [[ $qt == yes ]]; then
  expected+=(bin/tvguide share/applications/tvguide.desktop)
  for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/tvguide.png"); done
fi
for f in "${expected[@]}"; do [[ -f $prefix/$f ]] || fail "not installed: $f"; done
for p in "$prefix"/bin/*; do [[ -x $p ]] || fail "not executable: $p"; done
"$prefix/bin/tvguide-epgd" --help >/dev/null || fail "the installed tvguide-epgd does not run"

if [[ $qt == yes ]]; then
  for s in "${sizes[@]}"; do
    kind=$(file -b "$prefix/share/icons/hicolor/${s}x${s}/apps/tvguide.png")
    [[ $kind == "PNG image data, $s x $s, 8-bit/color RGBA, non-interlaced" ]] ||
      fail "icon ${s}x${s} is: $kind"
  done
  step "desktop-file-validate"
  # Errors exit non-zero; warnings only print. Hints are advice and pass.
  out=$(desktop-file-validate "$prefix/share/applications/tvguide.desktop" 2>&1) ||
    fail "desktop entry: $out"
  if grep -E ': (error|warning): ' <<<"$out"; then fail "desktop entry has warnings"; fi
fi

# The unit is written for the prefix it was installed to.
unit=$prefix/lib/systemd/system/tvguide-epgd.service
grep -qx "ExecStart=$prefix/bin/tvguide-epgd --state-dir \${STATE_DIRECTORY} \$EPGD_OPTS" "$unit" ||
  fail "ExecStart does not name the installed server: $(grep ExecStart= "$unit")"
grep -qx "EnvironmentFile=-$prefix/etc/default/tvguide-epgd" "$unit" ||
  fail "EnvironmentFile does not name the installed options: $(grep EnvironmentFile= "$unit")"
if command -v systemd-analyze >/dev/null; then
  step "systemd-analyze verify"
  # verify exits 0 on unknown keys and bad values and only prints them, so
  # any output at all is a failure.
  out=$(systemd-analyze verify "$unit" 2>&1) || fail "unit: $out"
  [[ -z $out ]] || fail "unit: $out"
  # Exposure 0 (locked down) .. 10 (none) in tenths for --threshold; the unit
  # scores about 1.3.
  systemd-analyze security --offline=yes --threshold=20 --no-pager "$unit" >"$work/security.log" || {
    grep -E '✗|Overall' "$work/security.log" >&2
    fail "the unit lost some of its hardening"
  }
  grep Overall "$work/security.log"
else
  step "no systemd-analyze here: the unit is not verified"
fi

# --- the Debian package -----------------------------------------------------
step "cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
}
debs=("$work"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -I "$deb"
dpkg-deb -c "$deb" | tee "$work/contents" | awk '{print $6}' | grep -v '/$'

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
[[ $depends == *libc6* && $depends == *libpugixml1v5* ]] ||
  fail "Depends did not come from dpkg-shlibdeps: $depends"
[[ $qt == no || $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
[[ $(field Recommends) == *"fonts-wqy-microhei | fonts-noto-cjk"* ]] || fail "no CJK font recommended"
for f in Maintainer Section Description; do [[ -n $(field $f) ]] || fail "no $f field"; done

packaged=(./usr/bin/tvguide-epgd ./usr/bin/tvguide-probe ./usr/lib/systemd/system/tvguide-epgd.service
  ./etc/default/tvguide-epgd)
[[ $qt == yes ]] && packaged+=(./usr/bin/tvguide ./usr/share/applications/tvguide.desktop
  ./usr/share/icons/hicolor/48x48/apps/tvguide.png)
for f in "${packaged[@]}"; do
  awk '{print $6}' "$work/contents" | grep -qx -- "$f" || fail "not in the package: $f"
done
mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
grep -qx /etc/default/tvguide-epgd "$work/control/conffiles" || fail "options file is not a conffile"
for s in postinst prerm postrm; do sh -n "$work/control/$s" || fail "$s is not valid sh"; done
packaged_unit=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/tvguide-epgd.service)
grep -q '^ExecStart=/usr/bin/tvguide-epgd ' <<<"$packaged_unit" &&
  grep -qx 'EnvironmentFile=-/etc/default/tvguide-epgd' <<<"$packaged_unit" ||
  fail "the packaged unit does not name /usr/bin and /etc/default"
step "ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
