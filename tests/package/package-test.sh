#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack, unpacked with dpkg-deb
# into a temporary root, its programs run from there, its desktop entries, file
# types, software centre data and changelog put through the validators, and
# every file and README section its texts name looked for in it.
#   package-test.sh CPACK CPACK_CONFIG man|noman
# Exit 77 (skipped) when a tool it needs is missing.
set -u
cpack=$1 config=$2 man=$3

missing=()
for tool in dpkg-deb dpkg-shlibdeps dpkg-parsechangelog file desktop-file-validate xmllint appstreamcli; do
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
dpkg-deb -f "$deb" Recommends | grep -qw 'bash-completion' || fail "Recommends lacks bash-completion"

# The installed programs run.
"$root/bin/mirelle-cli" --version | grep -qx 'mirelle-cli [0-9.]*' || fail "mirelle-cli --version"
"$root/bin/mirelle-sim" --help | grep -qi '^usage: mirelle-sim' || fail "mirelle-sim --help"
"$root/bin/mirelle-loader" --help | grep -qi '^usage: mirelle-loader' || fail "mirelle-loader --help"

for entry in "$share/applications/$app.desktop" "$share/applications/$app.Developer.desktop"; do
  desktop-file-validate "$entry" || fail "desktop entry $entry"
done
xmllint --noout "$share/mime/packages/$app.xml" || fail "MIME types"

# A user program and a backup open in the menu's entry; every other file kind
# of the MIME types in the hidden developer's entry, which starts the window
# with --developer.
user_types=$(printf '%s\n' application/x-tessel-user-program application/x-mirelle-backup | sort)
mime_types() { sed -n 's/^MimeType=//p' "$1" | tr ';' '\n' | sed '/^$/d' | sort; }
developer_types=$(grep -o '<mime-type type="[^"]*"' "$share/mime/packages/$app.xml" | cut -d'"' -f2 |
                  grep -vxF "$user_types" | sort)
[ "$(mime_types "$share/applications/$app.desktop")" = "$user_types" ] ||
  fail "the menu's entry opens $(mime_types "$share/applications/$app.desktop" | xargs), not the user program and the backup"
developer=$share/applications/$app.Developer.desktop
[ -n "$developer_types" ] && [ "$(mime_types "$developer")" = "$developer_types" ] ||
  fail "the developer's entry opens $(mime_types "$developer" | xargs), not $(xargs <<<"$developer_types")"
grep -qx 'Exec=mirelle-loader --developer %f' "$developer" || fail "the developer's entry does not pass --developer"
grep -qx 'NoDisplay=true' "$developer" || fail "the developer's entry shows in the menu"
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
  share/doc/mirelle-loader/examples/99-mirelle-line.rules
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

# The documentation folder as Debian keeps it.
docs=$share/doc/mirelle-loader
zcat "$docs/changelog.gz" >"$work/changelog" 2>/dev/null || fail "no changelog.gz"
changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1)
[ "$changelog_version" = "$(dpkg-deb -f "$deb" Version)" ] ||
  fail "changelog.gz: $changelog_version, the package: $(dpkg-deb -f "$deb" Version)"
head -n 1 "$docs/copyright" 2>/dev/null |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in Debian's machine-readable format"

# Every file, page and README section the texts name is in the package: the
# programs' help (each command's too), the manual pages, the Markdown pages.
texts=() labels=() folders=()
add_text() {  # add_text LABEL FOLDER < TEXT; FOLDER: where the text's relative links start
  texts+=("$work/text${#texts[@]}") labels+=("$1") folders+=("$2")
  cat >"${texts[-1]}"
}
for program in mirelle-cli mirelle-sim mirelle-loader; do
  add_text "$program --help" "" < <("$root/bin/$program" --help)
done
for command in $(sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p' "${texts[0]}"); do
  add_text "mirelle-cli help $command" "" < <("$root/bin/mirelle-cli" help "$command")
done
for page in "$share"/man/man1/*.1.gz; do
  add_text "${page#"$work/root"}" "" < <(zcat "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g')
done
while IFS= read -r page; do
  add_text "${page#"$work/root"}" "$(dirname "$page")" < <(zcat -f "$page")
done < <(find "$docs" -name '*.md' -o -name '*.md.gz')
readme=$(zcat -f "$docs"/README.md* 2>/dev/null)
[ -n "$readme" ] || fail "no README in $docs"

paths=0 pages=0 sections=0
for i in "${!texts[@]}"; do
  text=${texts[$i]} label=${labels[$i]} folder=${folders[$i]}
  # Absolute paths (a wild card, a folder with its /).
  while IFS= read -r path; do
    paths=$((paths + 1))
    compgen -G "$work/root$path" >/dev/null || fail "$label names $path, which the package does not hold"
  done < <(grep -oE '/usr/[A-Za-z0-9_.*/-]*[A-Za-z0-9_*/]' "$text" | sort -u)
  # Markdown pages by name (doc/NAME.md, README.md), compressed or not.
  while IFS= read -r name; do
    pages=$((pages + 1))
    [ -n "$(find "$docs" -name "$name" -o -name "$name.gz")" ] || fail "$label names $name, which ${docs#"$work/root"} lacks"
  done < <(grep -oE '[A-Za-z0-9_-]+\.md\b' "$text" | sort -u)
  # Sections of the README, as "NAME" in the README (the text may wrap).
  while IFS= read -r section; do
    sections=$((sections + 1))
    grep -qxE "#+ $section" <<<"$readme" || fail "$label names the README's section \"$section\", which it lacks"
  done < <(tr -s ' \n' '  ' <"$text" | grep -oE '"[^"]+" in the README' | cut -d'"' -f2 | sort -u)
  # A Markdown page's links and pictures, from its folder.
  [ -n "$folder" ] || continue
  while IFS= read -r target; do
    pages=$((pages + 1))
    [ -e "$folder/$target" ] || [ -e "$folder/$target.gz" ] || fail "$label links to $target, which the package lacks"
  done < <(grep -oE '\]\([^)#]+' "$text" | cut -c3- | grep -vE '^[a-z]+:' | sort -u)
done
# The texts name some of each kind: none found is a fault of the extraction.
[ "$paths" -gt 0 ] && [ "$pages" -gt 0 ] && [ "$sections" -gt 0 ] ||
  fail "names found: $paths paths, $pages pages, $sections README sections"

# The README's first steps with the package's own programs and samples: the
# simulator, with no options, serves its built-in sample machine.
coproc SIM { exec "$root/bin/mirelle-sim" 2>/dev/null; }
sim_pid=$SIM_PID
read -r device <&"${SIM[0]}"
"$root/bin/mirelle-cli" --port "$device" info | grep -q 'Hard ident : 4D520001' ||
  fail "mirelle-cli info on the unpacked mirelle-sim"
if [ -n "${SIM[1]:-}" ]; then exec {SIM[1]}>&-; fi
wait "$sim_pid" 2>/dev/null
for sample in "$share"/mirelle-loader/samples/*; do
  "$root/bin/mirelle-cli" --quiet check "$sample" >/dev/null || fail "mirelle-cli check $sample"
done
exit $failed
