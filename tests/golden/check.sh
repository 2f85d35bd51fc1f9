#!/usr/bin/env bash
# Golden outputs of mirelle-cli: proves that the tool behaves byte for byte as
# it did when tests/golden/expected/ was written, before and after a
# refactoring for instance.
#
#   tests/golden/check.sh BUILD_DIR [--update] [--jobs N] [CASE...]
#
# Each case of tests/golden/cases (its format is described at its top) runs in
# a fresh temporary folder of its own, with its own HOME and XDG_CONFIG_HOME,
# against its own BUILD_DIR/sim/mirelle-sim, and runs BUILD_DIR/cli/mirelle-cli.
# What is kept of a case:
#   CASE.out   standard output           CASE.err   standard error
#   CASE.code  each command line run, its exit code, then the files the case
#              wrote (text as it is, other files by size and SHA-256)
#   CASE.rec   the bytes on the line: the --record of each command
# What changes from run to run is blanked first (see normalize below).
#
# Without --update the outputs are compared with tests/golden/expected/: a
# unified diff for each case that differs, then a count; the exit code is 0
# only when every case matches. --update writes the expected outputs afresh.
# CASE arguments (shell patterns: 'download-*') run those cases only. --jobs N
# runs N cases at a time (default 3). A whole run takes one to three minutes.
#
# It needs bash, coreutils, sed, awk, diff and script (util-linux): no more
# than a fresh Debian machine has.

set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cases_file=$here/cases
expected_dir=$here/expected

usage() {
    echo "usage: $0 BUILD_DIR [--update] [--jobs N] [CASE...]" >&2
    exit 2
}

[[ $# -ge 1 ]] || usage
build=$(cd "$1" 2>/dev/null && pwd) || { echo "$0: no folder $1" >&2; exit 2; }
shift
update=0
jobs=3
patterns=()
while [[ $# -gt 0 ]]; do
    case $1 in
    --update) update=1 ;;
    --jobs)
        [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage
        jobs=$2
        shift
        ;;
    -*) usage ;;
    *) patterns+=("$1") ;;
    esac
    shift
done

cli=$build/cli/mirelle-cli
sim=$build/sim/mirelle-sim
for program in "$cli" "$sim"; do
    [[ -x $program ]] || { echo "$0: $program is missing: build mirelle-cli and mirelle-sim first" >&2; exit 2; }
done

run=$(mktemp -d "${TMPDIR:-/tmp}/mirelle-golden.XXXXXX")
trap 'rm -rf "$run"' EXIT
fixtures=$run/fixtures
results=$run/results
mkdir -p "$fixtures" "$results" "$run/cases"

# How long one command may take before it counts as hung (exit code 124),
# and a simulator before it is stopped.
step_limit=60
sim_limit=600

# ---------------------------------------------------------------------------
# The simulator of a case, in the case's folder, fed through a pipe: closing
# the pipe stops it.

# sim_start DIR OPTION...: sets sim_pid and sim_device, and fd 7 to the
# simulator's standard input. False when it gave no device.
sim_start() {
    local dir=$1
    shift
    mkfifo "$dir/.h-sim.in" "$dir/.h-sim.out"
    (cd "$dir" && exec timeout -k 2 "$sim_limit" "$sim" "$@" <.h-sim.in >.h-sim.out 2>.h-sim.err) &
    sim_pid=$!
    # In the order the simulator opens them.
    exec 7>"$dir/.h-sim.in" 8<"$dir/.h-sim.out"
    sim_device=
    IFS= read -r -t 20 sim_device <&8
    exec 8<&-
    [[ -n $sim_device ]]
}

sim_stop() {
    exec 7>&-
    wait "$sim_pid" 2>/dev/null
}

# ---------------------------------------------------------------------------
# Fixtures: the samples, and damaged files made from them, shared read-only
# by the cases (each case gets its own copy of the files it names).

# patch FILE OFFSET HEX...: writes the bytes at OFFSET.
patch() {
    local file=$1 offset=$2
    shift 2
    local bytes
    bytes=$(printf '\\x%s' "$@")
    # shellcheck disable=SC2059
    printf "$bytes" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# flip FILE OFFSET: inverts one byte.
flip() {
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    patch "$1" "$2" "$(printf '%02X' $((byte ^ 0xFF)))"
}

# rehash FILE: a backup's closing SHA-256 made to match its contents again.
rehash() {
    local size body=$1.body sum
    size=$(stat -c %s "$1")
    head -c $((size - 32)) "$1" >"$body"
    sum=$(sha256sum "$body" | cut -c1-64 | sed 's/../\\x&/g')
    # shellcheck disable=SC2059
    { cat "$body"; printf "$sum"; } >"$1"
    rm -f "$body"
}

# fixture_machine DIR OPTION...: a simulator for making fixtures.
fixture_machine() {
    mkdir -p "$1"
    sim_start "$@" || { echo "$0: mirelle-sim did not start: $(cat "$1/.h-sim.err")" >&2; exit 2; }
}

make_fixtures() {
    cd "$fixtures" || exit 2
    cp "$root"/samples/sample-user.tbu "$root"/samples/sample-factory.tbf "$root"/samples/sample-boot.tb \
        "$root"/samples/mainprog.tfs .

    # Files of each kind cut short, with a byte inverted, empty, or named as
    # another kind, and folders named as files.
    local kind sample
    for kind in tbu tbf tb tfs; do
        sample=$(ls ./*."$kind")
        head -c 40 "$sample" >"cut.$kind"
        head -c $(($(stat -c %s "$sample") - 1)) "$sample" >"short.$kind"
        cp "$sample" "flipped.$kind"
        flip "flipped.$kind" $(($(stat -c %s "$sample") / 2))
        : >"empty.$kind"
    done
    cp sample-user.tbu user-named.tbf
    cp sample-factory.tbf factory-named.tbu
    cp sample-boot.tb boot-named.tbu
    cp sample-user.tbu user.bin
    cp sample-user.tbu SAMPLE.TBU
    mkdir folder.tbu folder.bak

    # The flash of the sample machine, and machines patched from it (flash
    # offsets from 0xD00000: the factory directory at 0x0F, the factory data
    # at 0x40; see samples/SampleSet.h).
    fixture_machine .flash --save-flash "$fixtures/sample.flash"
    sim_stop
    cp sample.flash hw010300.flash && patch hw010300.flash $((0x40)) 00 03 01     # hardware version 010300
    cp sample.flash small-area.flash && patch small-area.flash $((0x18)) 00 02 00 # a user area of 0x200 bytes
    cp sample.flash no-step.flash && patch no-step.flash $((0x1B)) 00 00 00       # erase step 0
    cp sample.flash serial-written.flash && patch serial-written.flash $((0x49)) 53 4E 2D 30 30 30 37 00
    cp sample.flash name-escapes.flash && patch name-escapes.flash $((0x52)) 41 1B 42 09 43 7F 44 00
    cp sample.flash serial-ff.flash && patch serial-ff.flash $((0x49)) 31 32 FF FF FF FF FF 00

    # A backup of the sample machine with the sample program, damaged copies
    # (offsets as in doc/backup-format.md), and a recording of a download.
    fixture_machine .backup --erase-time 0
    if ! { "$cli" --port "$sim_device" --quiet download sample-user.tbu &&
        "$cli" --port "$sim_device" --quiet backup user.bak &&
        "$cli" --port "$sim_device" --quiet --record download.rec download sample-user.tbu; } >/dev/null 2>&1; then
        echo "$0: the fixture backup could not be made" >&2
        exit 2
    fi
    sim_stop
    local size
    size=$(stat -c %s user.bak)
    head -c 100 user.bak >cut.bak
    head -c $((size - 1)) user.bak >short.bak
    cp user.bak trailing.bak && printf 'X' >>trailing.bak
    cp user.bak flipped.bak && flip flipped.bak 5000
    cp user.bak magic.bak && patch magic.bak 0 4E
    cp user.bak version3.bak && patch version3.bak 8 03 00 && rehash version3.bak
    cp user.bak other-ident.bak && patch other-ident.bak 18 02 00 52 4D && rehash other-ident.bak
    cp user.bak other-area.bak && patch other-area.bak 54 00 00 D3 00 && rehash other-area.bak
    cp user.bak length.bak && patch length.bak 108 00 00 02 00 && rehash length.bak
    cp sample-user.tbu notbackup.bak
    : >empty.bak

    # Recordings for decode and --replay: the download with steady times (a
    # millisecond an event) and a port name of its own, a short hand-made
    # one, and damaged ones.
    awk 'NR == 1 { print; next } $2 == "open" { $3 = "com1"; $4 = "/dev/ttyUSB0" } { $1 = (NR - 1) * 1000; print }' \
        download.rec >download-steady.rec
    rm -f download.rec
    printf '%s\n' 'mirelle-recording 1' '1000 open com1 /dev/ttyUSB0 38400 odd 1 ok' '2000 purge 0102' \
        '3000 break on' '103000 read 1 - timeout' '103100 break off' '103200 write 80A203' '103300 read 1 04' \
        '103400 write 02037E01007E' '203400 read 14 - timeout' '203500 rts on' '203600 rts off failed' \
        '203700 write 02037E01007E failed' '203800 write 02087E060400D0000F1E73' \
        '203900 read 41 02267E240400D0000F1E41 timeout' '204000 close' >hand.rec
    head -c 300 download-steady.rec >cut.rec
    { head -n 5 download-steady.rec; echo 'this is no event'; tail -n 3 download-steady.rec; } >bad-line.rec
    { echo 'mirelle-recording 9'; tail -n +2 hand.rec; } >version9.rec
    : >empty.rec
    cp sample-user.tbu notrecording.rec
    rm -rf .flash .backup
    cd - >/dev/null || exit 2
}

# ---------------------------------------------------------------------------
# The outputs of a case: RAW into FINAL, blanking what changes from run to
# run:
#  - the case's temporary folder, and the run's (paths in messages);
#  - pseudo-terminal names (/dev/pts/N): each run gets another;
#  - the serial ports present, which a port that does not open lists: they
#    are the host's (the cases "ports" and "ports-json" show them as they are);
#  - the time stamp that starts each --trace line (seconds since the start);
#  - "durationMs" of the JSON reports, "rate" and "secondsLeft" of the JSON
#    progress lines: measured times;
#  - the time that starts each recording line (microseconds);
#  - the flash status polled again while an erase keeps the machine busy:
#    how often depends on timing, so a run of these polls is kept as one,
#    with a line saying so (in the recording and in the trace).
normalize_program='
function replace(text, from, to,   done, at) {
    done = ""
    while (from != "" && (at = index(text, from)) > 0) {
        done = done substr(text, 1, at - 1) to
        text = substr(text, at + length(from))
    }
    return done text
}
# A busy poll: the status request and its "busy" reply, two lines of the
# recording or of the trace.
function request(line) { return line ~ /write 02037E01017D$/ || line ~ /> frame   02 03 7E 01 01 7D("\})?$/ }
function busy(line) { return line ~ /read 7 02047E0201017A$/ || line ~ /< 02 04 7E 02 01 01 7A("\})?$/ }
function emit(text) { print text >out }
function flush() {
    if (held != "")
        emit(held "\n... (the busy poll above, once or more)")
    held = ""
}
function finish() {
    flush()
    if (pending != "")
        emit(pending)
    pending = ""
    if (out != "")
        close(out)
}
FNR == 1 {
    finish()
    kind = FILENAME
    sub(/.*\.h-/, "", kind)
    out = prefix "." kind
}
{
    line = replace(replace($0, dir, "<case>"), run, "<run>")
    gsub(/\/dev\/pts\/[0-9]+/, "/dev/pts/N", line)
    gsub(/the serial ports present are [^()]* \(mirelle-cli ports lists them\)/, "<the serial ports present>", line)
    line = replace(line, "no serial port is present: a USB adapter appears as /dev/ttyUSB0 or /dev/ttyACM0 once plugged in",
                   "<the serial ports present>")
    if (match(line, /^ *[0-9]+\.[0-9][0-9][0-9] [<>-] /))
        line = "  <time> " substr(line, RLENGTH - 1)
    # The same as a JSON line of --json --trace.
    if (match(line, /^\{"trace":" *[0-9]+\.[0-9][0-9][0-9] [<>-] /))
        line = "{\"trace\":\"  <time> " substr(line, RLENGTH - 1)
    gsub(/"durationMs": ?[0-9]+/, "\"durationMs\": <ms>", line)
    gsub(/"rate":(null|[-0-9.eE+]+)/, "\"rate\":<rate>", line)
    gsub(/"secondsLeft":(null|[-0-9.eE+]+)/, "\"secondsLeft\":<left>", line)
    if (kind == "rec") {
        sub(/^[0-9]+ /, "<t> ", line)
        # The count of events holds the busy polls, whose number varies.
        sub(/^end [0-9]+$/, "end <n>", line)
    }
    if (kind == "out" || kind == "code") {
        emit(line)
        next
    }
    if (pending != "") {
        if (busy(line)) {
            pair = pending "\n" line
            pending = ""
            if (pair != held) {
                flush()
                held = pair
            }
            next
        }
        flush()
        emit(pending)
        pending = ""
    }
    if (request(line)) {
        pending = line
        next
    }
    flush()
    emit(line)
}
END { finish() }
'

# ---------------------------------------------------------------------------
# One case.

# split TEXT SEPARATOR: the parts into the array `parts`.
split() {
    local text=$1 separator=$2
    parts=()
    while [[ $text == *"$separator"* ]]; do
        parts+=("${text%%"$separator"*}")
        text=${text#*"$separator"}
    done
    parts+=("$text")
}

# trim VARIABLE TEXT: TEXT without its leading and trailing blanks, into VARIABLE.
trim() {
    local text=$2
    text=${text#"${text%%[![:space:]]*}"}
    printf -v "$1" '%s' "${text%"${text##*[![:space:]]}"}"
}

# The words of a step or of the simulator's options as the shell reads them,
# with $DEV the simulator's device and $DIR the case's folder, into `words`.
read_words() {
    # shellcheck disable=SC2034
    local DEV=$sim_device DIR=$dir
    eval "words=( $1 )"
}

# run_step INDEX STEP: runs one step of the case (run_case's variables).
run_step() {
    local index=$1 step=$2
    # A line for the simulator's standard input (on, off, loader): it takes
    # it long before the next command's first request.
    if [[ $step == @sim\ * ]]; then
        echo "@sim ${step#@sim }" >>"$dir/.h-code"
        echo "${step#@sim }" >&7
        return
    fi
    local words=() environment=() noport=0 tty=0 limit=(-k 5 "$step_limit") interrupt=''
    read_words "$step"
    while [[ ${#words[@]} -gt 0 ]]; do
        case ${words[0]} in
        @noport) noport=1 ;;
        @tty) tty=1 ;;
        @interrupt)
            # SIGINT after that many seconds, as Ctrl-C would.
            interrupt=${words[1]}
            limit=(--preserve-status -s INT -k 5 "$interrupt")
            words=("${words[@]:1}")
            ;;
        [A-Za-z_]*=*) environment+=("${words[0]}") ;;
        *) break ;;
        esac
        words=("${words[@]:1}")
    done
    # The simulator's device unless the step names a port itself, and a
    # recording unless the step makes its own. In front: after "--" they
    # would be arguments.
    local added=() own_record='' word previous=''
    for word in "${words[@]}"; do
        [[ $previous == --record ]] && own_record=$word
        [[ $word == --record=* ]] && own_record=${word#--record=}
        [[ $word == -p || $word == --port || $word == --port=* ]] && noport=1
        previous=$word
    done
    if ((with_sim)); then
        ((noport)) || added+=(--port "$sim_device")
        [[ -n $own_record ]] || added+=(--record ".h-step$index.rec")
    fi
    local command=("$cli" "${added[@]}" "${words[@]}") shown='$'
    [[ -n $interrupt ]] && shown+=" @interrupt $interrupt"
    for word in "${environment[@]}"; do
        printf -v word ' %q' "$word"
        shown+=$word
    done
    shown+=" mirelle-cli"
    for word in "${command[@]:1}"; do
        printf -v word ' %q' "$word"
        shown+=$word
    done
    echo "$shown" >>"$dir/.h-code"

    local context=(env -i -C "$dir" PATH=/usr/bin:/bin HOME="$dir/home" XDG_CONFIG_HOME="$dir/config"
        TMPDIR="$dir/tmp" LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1765000000 "${environment[@]}" timeout "${limit[@]}")
    if ((tty)); then
        # On a terminal of 100 columns: standard input, output and error are
        # one pseudo-terminal, without echo, fed from the case's input.
        local script_command
        printf -v script_command ' %q' "${command[@]}"
        "${context[@]:0:4}" SHELL=/bin/bash "${context[@]:4}" script -qef -E never -c "stty cols 100 rows 40; exec$script_command" /dev/null \
            <"$dir/.h-stdin" >>"$dir/.h-out" 2>>"$dir/.h-err" 7>&-
    else
        "${context[@]}" "${command[@]}" <"$dir/.h-stdin" >>"$dir/.h-out" 2>>"$dir/.h-err" 7>&-
    fi
    echo "exit $?" >>"$dir/.h-code"

    local recording=$dir/.h-step$index.rec
    if [[ -n $own_record ]]; then
        recording=$dir/$own_record
        own_records+=("$own_record")
    fi
    if ((with_sim)) && [[ -f $recording ]]; then
        ((count > 1)) && echo "### step $index" >>"$dir/.h-rec"
        cat "$recording" >>"$dir/.h-rec"
    fi
}

# run_case NAME SIM STEPS STDIN LINE: writes results/NAME.{out,err,code,rec}.
run_case() {
    local name=$1 sim_options=$2 steps_text=$3 input=$4 line=$5
    local dir=$run/cases/$name
    local own_records=()
    mkdir -p "$dir/home" "$dir/config" "$dir/tmp"
    : >"$dir/.h-out"
    : >"$dir/.h-err"
    : >"$dir/.h-code"
    : >"$dir/.h-rec"

    # The fixtures the case names; then what is newer than .h-start is the
    # case's doing.
    local fixture copies=()
    for fixture in "$fixtures"/*; do
        [[ $line == *"${fixture##*/}"* ]] && copies+=("$fixture")
    done
    ((${#copies[@]})) && cp -rp "${copies[@]}" "$dir/"
    printf '%b' "$input" >"$dir/.h-stdin"
    : >"$dir/.h-start"

    sim_device=
    local with_sim=0 words
    if [[ $sim_options != - ]]; then
        read_words "$sim_options"
        if sim_start "$dir" "${words[@]}"; then
            with_sim=1
        else
            sim_stop
            echo "mirelle-sim did not start: $(cat "$dir/.h-sim.err")" >>"$dir/.h-code"
            steps_text=
        fi
    fi

    if [[ -n $steps_text || $sim_options == - ]]; then
        split "$steps_text" ' ;; '
        local steps=("${parts[@]}") count=${#parts[@]} index=0 step
        for step in "${steps[@]}"; do
            index=$((index + 1))
            trim step "$step"
            if ((count > 1)); then
                echo "### step $index" >>"$dir/.h-out"
                echo "### step $index" >>"$dir/.h-err"
            fi
            run_step "$index" "$step"
        done
    fi
    ((with_sim)) && sim_stop

    # The files the case wrote: text as it is, other files by size and SHA-256.
    local file size
    while IFS=$'\t' read -r file size; do
        [[ " ${own_records[*]} " == *" $file "* ]] && continue
        if ((size <= 4096)) && ! LC_ALL=C grep -aq "[^[:print:][:space:]]" "$dir/$file"; then
            echo "file $file:" >>"$dir/.h-code"
            local text
            while IFS= read -r text || [[ -n $text ]]; do
                echo "  $text"
            done <"$dir/$file" >>"$dir/.h-code"
        else
            local sum
            sum=$(sha256sum <"$dir/$file")
            echo "file $file: $size bytes, sha256 ${sum%% *}" >>"$dir/.h-code"
        fi
    done < <(cd "$dir" && find . -type f ! -name '.h-*' -newer .h-start -printf '%P\t%s\n' | LC_ALL=C sort)

    : >"$results/$name.out"
    : >"$results/$name.err"
    : >"$results/$name.code"
    : >"$results/$name.rec"
    awk -v prefix="$results/$name" -v dir="$dir" -v run="$run" "$normalize_program" \
        "$dir/.h-out" "$dir/.h-err" "$dir/.h-code" "$dir/.h-rec"
}

# ---------------------------------------------------------------------------
# The list.

names=()
lines=()
declare -A seen=()
number=0
while IFS= read -r line || [[ -n $line ]]; do
    number=$((number + 1))
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    split "$line" "|"
    if ((${#parts[@]} < 3 || ${#parts[@]} > 4)); then
        echo "$cases_file:$number: not NAME | SIM | STEPS [| STDIN]" >&2
        exit 2
    fi
    trim name "${parts[0]}"
    if [[ ! $name =~ ^[a-z0-9][a-z0-9.-]*$ || -n ${seen[$name]:-} ]]; then
        echo "$cases_file:$number: bad or repeated case name '$name'" >&2
        exit 2
    fi
    seen[$name]=1
    if ((${#patterns[@]})); then
        selected=0
        for pattern in "${patterns[@]}"; do
            # shellcheck disable=SC2053
            [[ $name == $pattern ]] && selected=1
        done
        ((selected)) || continue
    fi
    names+=("$name")
    lines+=("$line")
done <"$cases_file"
((${#names[@]})) || { echo "$0: no case selected" >&2; exit 2; }

started=$SECONDS
make_fixtures

sim_field="" steps_field="" input_field=""
running=0
for ((i = 0; i < ${#names[@]}; ++i)); do
    split "${lines[i]}" "|"
    trim sim_field "${parts[1]}"
    trim steps_field "${parts[2]}"
    input_field=
    ((${#parts[@]} > 3)) && trim input_field "${parts[3]}"
    run_case "${names[i]}" "$sim_field" "$steps_field" "$input_field" "${lines[i]}" &
    running=$((running + 1))
    if ((running >= jobs)); then
        wait -n
        running=$((running - 1))
    fi
done
wait

if ((update)); then
    mkdir -p "$expected_dir"
    if ((${#patterns[@]} == 0)); then
        rm -f "$expected_dir"/*.out "$expected_dir"/*.err "$expected_dir"/*.code "$expected_dir"/*.rec
    fi
    for name in "${names[@]}"; do
        cp "$results/$name".{out,err,code,rec} "$expected_dir/"
    done
    echo "${#names[@]} cases written to $expected_dir ($((SECONDS - started)) s)"
    exit 0
fi

differing=0
for name in "${names[@]}"; do
    differs=0
    for kind in out err code rec; do
        if ! cmp -s "$expected_dir/$name.$kind" "$results/$name.$kind"; then
            differs=1
            diff -u --label "expected/$name.$kind" --label "actual/$name.$kind" \
                "$expected_dir/$name.$kind" "$results/$name.$kind" 2>&1 | head -n 300
        fi
    done
    differing=$((differing + differs))
done
echo "$differing of ${#names[@]} cases differ ($((SECONDS - started)) s)"
((differing == 0))
