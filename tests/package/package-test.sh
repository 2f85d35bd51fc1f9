#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack, unpacked with dpkg-deb
# into a temporary root, its programs run from there, its desktop entry, file
# types and software centre data put through the validators.
#   package-test.sh CPACK CPACK_CONFIG man|noman
# Exit 77 (skipped) when a tool it needs is missing.
set -u
cpack=$1 config=$2 man=$3

missing=()
for tool in dpkg-deb dpkg-shlibdeps file desktop-file-validate xmllint appstreamcli; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Skipped: ${missing[*]} not installed (./run test installs them)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

if ! "$cpack" --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack made no package"
  exit 1
fi
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root" || { fail "dpkg-deb cannot unpack $deb"; exit 1; }
root=$work/root/usr
share=$root/share
app=org.mirelle.Loader

# The Qt libraries come from dpkg-shlibdeps.
dpkg-deb -f "$deb" Depends | grep -q 'libqt6serialport6' || fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)"

# The installed programs run.
"$root/bin/mirelle-cli" --version | grep -qx 'mirelle-cli [0-9.]*' || fail "mirelle-cli --version"
"$root/bin/mirelle-sim" --help | grep -qi '^usage: mirelle-sim' || fail "mirelle-sim --help"
"$root/bin/mirelle-loader" --help | grep -qi '^usage: mirelle-loader' || fail "mirelle-loader --help"

desktop-file-validate "$share/applications/$app.desktop" || fail "desktop entry"
xmllint --noout "$share/mime/packages/$app.xml" || fail "MIME types"
validation=$(appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" 2>&1)
if [ $? -ne 0 ] || grep -q '^[EW]:' <<<"$validation"; then fail "metainfo: $validation"; fi

files=(
  share/icons/hicolor/scalable/apps/$app.svg
  share/icons/hicolor/48x48/apps/$app.png
  share/icons/hicolor/128x128/apps/$app.png
  share/icons/hicolor/256x256/apps/$app.png
  share/bash-completion/completions/mirelle-cli
  share/doc/mirelle-loader/examples/99-mirelle-ftdi-latency.rules
  share/doc/mirelle-loader/examples/99-mirelle-adapter-name.rules
)
if [ "$man" = man ]; then
  files+=(share/man/man1/mirelle-cli.1.gz share/man/man1/mirelle-sim.1.gz share/man/man1/mirelle-loader.1.gz)
fi
for file in "${files[@]}"; do
  [ -s "$root/$file" ] || fail "not installed: /usr/$file"
done
if [ "$man" = man ]; then
  zcat "$share/man/man1/mirelle-cli.1.gz" | grep -q '^\.SH "EXIT STATUS"' || fail "mirelle-cli(1) has no EXIT STATUS"
fi
exit $failed
