#!/bin/sh
# Builds the Debian package from a build folder and checks what an operator
# gets: the files and control scripts it holds, that its server answers,
# and its systemd unit as systemd-analyze verify sees it (any complaint,
# warnings included, fails the test).
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "package_test: $*" >&2; exit 1; }

cd "$build"
cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/rovezevu_*_*.deb) || fail "no package was written"
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"

for f in usr/bin/RoVezevu usr/bin/quib usr/lib/systemd/system/rovezevu.service usr/lib/sysusers.d/rovezevu.conf \
         etc/default/rovezevu usr/share/doc/rovezevu/operations.md usr/share/doc/rovezevu/README.md \
         usr/share/rovezevu/proto/rovezevu/remoting/v1/remoting.proto; do
  [ -e "$work/root/$f" ] || fail "the package lacks /$f"
done
grep -qx /etc/default/rovezevu "$work/control/conffiles" || fail "/etc/default/rovezevu is not a conffile"
for s in postinst prerm; do [ -x "$work/control/$s" ] || fail "no executable $s"; done
grep -q 'systemd-sysusers rovezevu.conf' "$work/control/postinst" || fail "postinst creates no system user"
grep -q '^u rovezevu ' "$work/root/usr/lib/sysusers.d/rovezevu.conf" || fail "no user line in sysusers.d"

"$work/root/usr/bin/RoVezevu" --version | grep -q '^RoVezevu [0-9]' || fail "the packaged server does not answer --version"
"$work/root/usr/bin/quib" --version | grep -q '^quib [0-9]' || fail "the packaged quib does not answer --version"

unit="$work/root/usr/lib/systemd/system/rovezevu.service"
grep -qx 'Type=notify' "$unit" || fail "the unit is not Type=notify"
grep -qx 'ExecStart=/usr/bin/RoVezevu' "$unit" || fail "the unit does not start /usr/bin/RoVezevu"
# The unit names the installed path; verify it with the packaged binary
# standing there, since this machine need not have the package installed.
sed "s|^ExecStart=/usr/bin/RoVezevu|ExecStart=$work/root/usr/bin/RoVezevu|" "$unit" >"$work/rovezevu.service"
cp "$work/root/usr/lib/systemd/system/rovezevu.socket" "$work/rovezevu.socket" || fail "the package lacks the socket unit"
out=$(cd "$work" && systemd-analyze verify --man=no rovezevu.service rovezevu.socket 2>&1) || { echo "$out" >&2; fail "systemd-analyze verify failed"; }
[ -z "$out" ] || { echo "$out" >&2; fail "systemd-analyze verify complained"; }
echo "package_test: $(basename "$deb") holds a verified unit"
