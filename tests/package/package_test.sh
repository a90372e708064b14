#!/usr/bin/env bash
# Builds the Debian package from a build tree, checks its file list, unpacks it into a
# temporary root and runs the installed programs from there.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack did not build the package"; }
deb=$(ls "$work"/out/solvei-remote_*.deb)

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' >"$work/files"
for f in /usr/bin/solvei-remote /usr/bin/solvei-sim /usr/bin/solvei-ctl /usr/bin/solvei-skin \
         /usr/bin/solvei-exporter \
         /usr/share/applications/solvei-remote.desktop \
         /usr/lib/systemd/system/solvei-exporter.service \
         /usr/share/icons/hicolor/48x48/apps/solvei-remote.png \
         /usr/share/icons/hicolor/256x256/apps/solvei-remote.png \
         /usr/share/man/man1/solvei-remote.1 /usr/share/man/man1/solvei-sim.1 \
         /usr/share/man/man1/solvei-ctl.1 /usr/share/man/man1/solvei-skin.1 \
         /usr/share/man/man1/solvei-exporter.1; do
    grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libc6 zlib1g; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
export QT_QPA_PLATFORM=offscreen
for program in solvei-remote solvei-sim solvei-ctl solvei-skin solvei-exporter; do
    out=$("$root/usr/bin/$program" --version 2>&1) || fail "$program --version failed: $out"
    [[ $out == *"$version"* ]] || fail "$program --version says '$out', not $version"
done
# The installed application still carries its skin.
entries=$("$root/usr/bin/solvei-skin" list "$root/usr/bin/solvei-remote") \
    || fail "solvei-skin list of the installed solvei-remote failed"
grep -qx 'skin.ini' <<<"$entries" || fail "the installed solvei-remote carries no skin.ini"
desktop-file-validate "$root/usr/share/applications/solvei-remote.desktop" \
    || fail "the desktop entry does not validate"
# The installed unit, pointed at the installed program.
"$(dirname "$0")/../exporter/systemd_unit_test.sh" \
    "$root/usr/lib/systemd/system/solvei-exporter.service" "$root/usr/bin/solvei-exporter" \
    || fail "the installed systemd unit does not verify"
echo "package $(basename "$deb"): $(wc -l <"$work/files") entries, programs run from $root"
