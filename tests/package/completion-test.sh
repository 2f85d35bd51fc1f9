#!/usr/bin/env bash
# mirelle-cli's bash completion: what it offers after each command line, in a
# folder holding one file of each kind. One case a line: the offers (sorted,
# blank-separated), "|", then the words as bash splits them, the last one being
# the word under completion ("" for a new word).
set -u
completion=$1
source "$completion" || exit 1

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch a.tbu b.tbf c.tb d.tfs e.txt f.tbk g.json && mkdir sub && ln -s /dev/null sub/link

cases=(
  'download|mirelle-cli dow'
  '--port|mirelle-cli --po'
  'a.tbu sub|mirelle-cli download ""'
  'b.tbf sub|mirelle-cli factory ""'
  'c.tb sub|mirelle-cli boot ""'
  'a.tbu b.tbf c.tb d.tfs f.tbk sub|mirelle-cli check ""'
  'd.tfs sub|mirelle-cli --symbols ""'
  'a.tbu sub|mirelle-cli -p com2 --yes download ""'
  'a.tbu sub|mirelle-cli --port = com2 download ""'
  '|mirelle-cli download a.tbu ""'
  'com1 com2 com3 com4 com5 com6 com7 com8|mirelle-cli --port com'
  'com3|mirelle-cli --port = com3'
  'com3|mirelle-cli --port=com3'
  './sub|mirelle-cli --port ./s'
  'sub/link|mirelle-cli --port sub/l'
  'sub/link|mirelle-cli set-port com2 sub/l'
  'com1 com2 com3 com4 com5 com6 com7 com8|mirelle-cli set-port c'
  'factory|mirelle-cli --kind f'
  'restore|mirelle-cli help res'
  'f.tbk sub|mirelle-cli restore ""'
  'a.tbu b.tbf c.tb d.tfs e.txt f.tbk g.json sub|mirelle-cli decode ""'
  'add status|mirelle-cli --database db.sqlite serials ""'
  'g.json sub|mirelle-cli --port com2 line ""'
  '|mirelle-cli line g.json ""'
)
failed=0
for case in "${cases[@]}"; do
  expected=${case%%|*}
  eval "COMP_WORDS=(${case#*|})"
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _mirelle_cli
  offered=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
  offered=${offered% }
  if [[ $offered != "$expected" ]]; then
    echo "FAIL: ${case#*|}: offered \"$offered\", expected \"$expected\"" >&2
    failed=1
  fi
done
exit $failed
