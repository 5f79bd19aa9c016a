#!/usr/bin/env bash
# The Windows test tier: cross-builds everything for 64-bit (x86_64) and 32-bit
# (i686) Windows with mingw-w64, runs the unit tests as Windows programs under
# Wine, and checks that keymix.exe renders the example chart to the same WAV
# bytes as the Linux build while printing its Japanese texts in Shift-JIS,
# also with -x and -m on small charts whose key sounds are the decoder fixtures,
# and with -a on song packages (.zip with Shift-JIS or UTF-8 member names, .7z)
# and on a folder with Japanese names.
#
#   64-bit: every unit test, keymix.exe, then the window tests (tests/gui/run.sh).
#   32-bit: the window framework and x87 precision tests, keymix.exe and the window tests.
#
# Skips itself, saying why and how to install the tools, when the cross
# compilers, Wine, Xvfb or the Japanese locale are missing. Without a 32-bit
# Wine (no wine32) it still builds both architectures and runs the 64-bit
# tier, and skips only the 32-bit runs, with a warning.
# Environment: JOBS (default 2), BUILD (native build folder, default build).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}
NATIVE_BUILD=${BUILD:-build}
TEST_TIMEOUT=${KEYMIX_TEST_TIMEOUT:-120}

. scripts/wine_env.sh

log() { echo "windows tier: $*"; }

missing=""
for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix cmake iconv cmp \
    dpkg-source autoreconf libtoolize pkg-config; do
    command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
done
missing+=$(wine_env_missing)
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then missing+="locale:ja_JP.UTF-8 "; fi
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then missing+="/usr/src/googletest "; fi
if [ -n "$missing" ]; then
    log "SKIPPED, this machine lacks: $missing"
    log "install them with: sudo scripts/install_windows_deps.sh"
    exit 0
fi

# A mirror in mid-sync can leave wine32:i386 uninstallable for a while.
win32_missing=$(wine_env_win32_missing)

failures=()
fail() {
    failures+=("$1")
    log "FAILED: $1"
}

# build <arch>: the static audio libraries (built once, then reused), then
# configures and builds build-win64 or build-win32.
build() {
    local bits=$1 triple=$2 dir=build-win$1
    JOBS=$JOBS scripts/build_windows_deps.sh "${triple%%-*}" "$dir/deps" || return 1
    log "building $dir ($triple)"
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$triple.cmake" \
        -DKEYMIX_WINDOWS_DEPS="$ROOT/$dir/deps" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log"; return 1; }
    rm -f "$dir.configure.log"
    # The programs link the static libraries by name, so make does not relink
    # them when the prefix is rebuilt: remove them when its stamp changed.
    local stamp=$dir/deps/.keymix-deps linked=$dir/.keymix-deps-linked
    if ! cmp -s "$stamp" "$linked"; then
        find "$dir" -path "$dir/deps*" -prune -o -name '*.exe' -type f -print0 | xargs -0 rm -f
    fi
    cmake --build "$dir" -j "$JOBS" && cp "$stamp" "$linked"
}

# Runs ctest in a Windows build folder; extra arguments select tests. Wine on a loaded machine
# now and then fails a run that passes alone: the failed tests run once more, one at a time,
# and those that then pass are named in a WARNING; a test that fails twice fails the tier.
run_unit_tests() {
    local dir=$1
    shift
    (cd "$dir" && ctest --output-on-failure -j "$JOBS" --timeout "$TEST_TIMEOUT" "$@") &&
        return 0
    local failed
    failed=$(sed 's/^[0-9]*://' "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null |
        tr '\n' ' ')
    log "these tests failed, running them once more alone: $failed"
    (cd "$dir" && ctest --output-on-failure --timeout "$TEST_TIMEOUT" --rerun-failed) || return 1
    log "WARNING: these tests failed once and then passed under Wine: $failed"
}

# The Linux keymix, the reference for the Windows one.
native_keymix() {
    [ -f console/CMakeLists.txt ] || return 1
    if [ ! -x "$NATIVE_BUILD/console/keymix" ]; then
        cmake -S . -B "$NATIVE_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
            cmake --build "$NATIVE_BUILD" -j "$JOBS" --target keymix >/dev/null || return 1
    fi
    [ -x "$NATIVE_BUILD/console/keymix" ] && echo "$ROOT/$NATIVE_BUILD/console/keymix"
}

# What Windows prints for a Linux program's text output: Shift-JIS, and the
# C runtime's text mode turns each line feed into CR LF.
to_windows_text() { iconv -f UTF-8 -t CP932 | perl -pe 's/\n/\r\n/'; }

# Adds the decoder fixtures of tests/wav/data and the damaged Ogg files of
# tests/decode/data to a copy of examples/ and one
# small chart per format on them, so that a difference names its format; the
# chart for -m adds a key sound that does not exist. Some names are spelt .wav
# where the file is not, as published charts do.
add_key_sound_charts() {
    local dir=$1
    cp tests/wav/data/* tests/decode/data/*.ogg tests/decode/data/*.opus "$dir/"
    key_sound_chart "$dir/x_flac.bms" tone_16.flac tone_24.flac sine_front_left_6ch.flac
    key_sound_chart "$dir/x_wav24.bms" tone_24.wav
    key_sound_chart "$dir/x_vorbis.bms" sine_mono_22050.ogg sine_left_44100.wav \
        sine_front_left_6ch.ogg
    key_sound_chart "$dir/x_opus.bms" tone.opus
    key_sound_chart "$dir/x_mp3.bms" tone.mp3
    key_sound_chart "$dir/x_damaged.bms" vorbis_page_after_end_and_missing_page.ogg \
        vorbis_last_page_cut.ogg vorbis_cut_in_packet.ogg opus_loud.opus opus_missing_page.opus
    key_sound_chart "$dir/x_missing.bms" tone_16.flac no_such_sound.ogg tone.opus tone.mp3
}

# key_sound_chart <chart> <key sounds...>: one bar at 120 BPM that plays each
# key sound on its own and then all of them at once.
key_sound_chart() {
    local chart=$1 i=1 slot sound
    shift
    {
        echo "#BPM 120"
        for sound in "$@"; do
            printf '#WAV%02d %s\n#0001%d:' $i "$sound" $i
            for slot in $(seq $#); do
                if [ "$slot" = $i ]; then printf '%02d' $i; else printf '00'; fi
            done
            printf '%02d\n' $i
            i=$((i + 1))
        done
    } >"$chart"
}

# The Linux packer of the song packages (tests/windows/pack_archive.cpp), built
# once into the native build folder; nothing when libarchive is missing there.
packer() {
    local packer=$NATIVE_BUILD/pack_archive
    if [ ! -x "$packer" ]; then
        # shellcheck disable=SC2046
        g++ -std=c++17 -O1 -o "$packer" tests/windows/pack_archive.cpp \
            $(pkg-config --cflags --libs libarchive 2>/dev/null) >/dev/null 2>&1 || return 1
    fi
    echo "$ROOT/$packer"
}

# add_packages <dir> <packer>: the example song packed three ways into <dir>,
# each in a folder named 曲 with its chart named 譜面: sjis.zip with its names'
# Shift-JIS bytes, key sounds with Japanese names and a chart that names them
# so; utf8.zip with UTF-8 names under the Unicode flag; lzma2.7z. Each renders
# as Linux renders it only when the names reach the same files. The song also
# stays unpacked, in 曲集/曲.
add_packages() {
    local dir=$1 packer=$2 song sjis names
    song=$(printf '曲' | iconv -t CP932)
    sjis=$dir/sjis/$song
    mkdir -p "$sjis" "$dir/utf8/曲"
    cp examples/*.wav "$dir/utf8/曲/"
    cp examples/demo.bms "$dir/utf8/曲/譜面.bms"
    names=(曲/譜面.bms)
    for wav in examples/*.wav; do names+=("曲/${wav#examples/}"); done
    # The key sounds of the Shift-JIS package are named ドラム1.wav ... ドラム8.wav.
    local drum i=1 sjis_names=()
    drum=$(printf 'ドラム' | iconv -t CP932)
    sed -n 's/^#WAV0\([1-8]\) \(.*\)$/\1 \2/p' examples/demo.bms >"$dir/sounds.txt"
    cp examples/demo.bms "$sjis/$(printf '譜面' | iconv -t CP932).bms"
    while read -r i wav; do
        cp "examples/$wav" "$sjis/$drum$i.wav"
        LC_ALL=C sed -i "s/^#WAV0$i .*/#WAV0$i $drum$i.wav/" "$sjis/$(printf '譜面' | iconv -t CP932).bms"
        sjis_names+=("$song/$drum$i.wav")
    done <"$dir/sounds.txt"
    rm "$dir/sounds.txt"
    sjis_names+=("$song/$(printf '譜面' | iconv -t CP932).bms")
    "$packer" "$dir/sjis.zip" zip "" "$dir/sjis" "${sjis_names[@]}" &&
        "$packer" "$dir/utf8.zip" zip-utf8 "" "$dir/utf8" "${names[@]}" &&
        "$packer" "$dir/lzma2.7z" 7z "compression=lzma2" "$dir/utf8" "${names[@]}" &&
        rm -rf "$dir/sjis" && mv "$dir/utf8" "$dir/曲集"
}

# Runs keymix (Linux) and keymix.exe (under Wine) in copies of examples/ on
# the same arguments and compares exit status, standard output and error, and
# the WAV written. The key sound charts play at -v 100 so that halving the
# volume cannot hide a sample that a decoder rounds differently.
compare_keymix() {
    local exe=$1 label=$2 linux work
    linux=$(native_keymix) || { fail "$label: no Linux keymix to compare with"; return; }
    work=$(mktemp -d "${TMPDIR:-/tmp}/keymix-tier.XXXXXX")
    local pack
    pack=$(packer) || pack=""
    local cases=(
        "render|-o out.wav demo.bms"
        "render-loud-cut|-v 120 -r -o out.wav demo.bms"
        "player|-p 3 -v 100 -o out.wav demo.bms"
        "usage|"
        "missing-chart|-o out.wav no_such_chart.bms"
        "x-flac|-x -v 100 -o out.wav x_flac.bms"
        "x-wav24|-x -v 100 -o out.wav x_wav24.bms"
        "x-vorbis|-x -v 100 -o out.wav x_vorbis.bms"
        "x-opus|-x -v 100 -o out.wav x_opus.bms"
        "x-mp3|-x -v 100 -o out.wav x_mp3.bms"
        "x-damaged|-x -v 100 -o out.wav x_damaged.bms"
        "x-m-missing|-x -m -o out.wav x_missing.bms"
        "m-missing|-m -o out.wav x_missing.bms"
        "a-zip-sjis|-a -o songs sjis.zip"
        "a-zip-utf8|-a -o songs utf8.zip"
        "a-7z|-a -o songs lzma2.7z"
        "a-folder|-a -o songs 曲集"
    )
    local entry name args side
    for entry in "${cases[@]}"; do
        name=${entry%%|*}
        args=${entry#*|}
        if [ "${name#a-}" != "$name" ] && [ -z "$pack" ]; then
            fail "$label $name: no packer (tests/windows/pack_archive.cpp needs libarchive-dev)"
            continue
        fi
        for side in linux windows; do
            rm -rf "$work/$side"
            cp -r examples "$work/$side"
            add_key_sound_charts "$work/$side"
            [ "${name#a-}" = "$name" ] || add_packages "$work/$side" "$pack" ||
                { fail "$label $name: packages not made"; continue 2; }
            if [ $side = linux ]; then
                # shellcheck disable=SC2086
                (cd "$work/$side" && timeout "$TEST_TIMEOUT" "$linux" $args \
                    >../$side.out 2>../$side.err)
            else
                # shellcheck disable=SC2086
                (cd "$work/$side" && timeout "$TEST_TIMEOUT" wine "$exe" $args \
                    >../$side.out 2>../$side.err)
            fi
            echo $? >"$work/$side.status"
        done
        [ "$name" = render ] && cp "$work/windows.err" "$work/render.err"
        # A library run's progress lines give its times, and come anew every 2 seconds.
        [ "${name#a-}" = "$name" ] ||
            perl -ni -e 'print unless /\d+:\d\d:\d\d/' "$work/linux.out" "$work/windows.out"
        local ok=1
        cmp -s "$work/linux.status" "$work/windows.status" ||
            { ok=0; log "$label $name: exit status $(cat "$work/linux.status") on Linux," \
                "$(cat "$work/windows.status") on Windows"; }
        for stream in out err; do
            to_windows_text <"$work/linux.$stream" >"$work/expected.$stream"
            if ! cmp -s "$work/expected.$stream" "$work/windows.$stream"; then
                ok=0
                log "$label $name: standard $stream differs from the Linux one in Shift-JIS, CR LF:"
                diff <(od -c "$work/expected.$stream") <(od -c "$work/windows.$stream") | head -20
            fi
        done
        if [ -f "$work/linux/out.wav" ] || [ -f "$work/windows/out.wav" ]; then
            cmp "$work/linux/out.wav" "$work/windows/out.wav" ||
                { ok=0; log "$label $name: the WAV files differ"; }
        fi
        if [ -d "$work/linux/songs" ] || [ -d "$work/windows/songs" ]; then
            compare_songs "$work" || { ok=0; log "$label $name: the songs differ"; }
        fi
        if [ $ok = 1 ]; then
            log "$label $name: same as Linux"
        else
            fail "$label keymix.exe $name"
        fi
    done
    # The texts compared above must really carry Japanese in Shift-JIS.
    local done_text
    done_text=$(printf 'WAVファイルへ書き込みました' | iconv -f UTF-8 -t CP932)
    grep -q -F "$done_text" "$work/render.err" ||
        fail "$label keymix.exe: no success message in Shift-JIS"
    rm -rf "$work"
}

# The songs of a library run: the same files with the same bytes, the rendered
# chart among them, and the same report but for its times.
compare_songs() {
    local work=$1 report=keymix-report.tsv
    [ -n "$(find "$work/linux/songs" -name 譜面.wav)" ] ||
        { log "no 譜面.wav rendered on Linux"; return 1; }
    diff <(cd "$work/linux/songs" && find . -type f | sort) \
        <(cd "$work/windows/songs" && find . -type f | sort) || return 1
    local file
    while read -r file; do
        [ "$file" = "./$report" ] && continue
        cmp "$work/linux/songs/$file" "$work/windows/songs/$file" || return 1
    done < <(cd "$work/linux/songs" && find . -type f)
    cmp <(cut -f 1-3,5- "$work/linux/songs/$report" | iconv -f UTF-8 -t CP932) \
        <(cut -f 1-3,5- "$work/windows/songs/$report")
}

run_gui_tests() {
    local dir=$1
    if [ -x tests/gui/run.sh ]; then
        log "window tests: tests/gui/run.sh $dir"
        timeout 1800 tests/gui/run.sh "$ROOT/$dir" || fail "window tests on $dir (tests/gui/run.sh)"
    else
        log "window tests: tests/gui/run.sh not present yet, skipped"
    fi
}

# tier <bits> <triple> <wine arch> <ctest arguments...>
tier() {
    local bits=$1 triple=$2 arch=$3
    shift 3
    if ! build "$bits" "$triple"; then
        fail "build-win$bits does not build"
        return
    fi
    if [ "$arch" = win32 ] && [ -n "$win32_missing" ]; then
        log "WARNING: 32-bit Wine runs SKIPPED: $win32_missing"
        return
    fi
    log "starting a $arch Wine environment"
    if ! wine_env_start "$arch"; then
        fail "no $arch Wine environment"
        return
    fi
    if ! run_unit_tests "build-win$bits" "$@"; then fail "unit tests on $arch"; fi
    if [ -f "build-win$bits/console/keymix.exe" ] && [ -f examples/demo.bms ]; then
        compare_keymix "$ROOT/build-win$bits/console/keymix.exe" "win$bits"
    else
        log "keymix.exe or examples/demo.bms not part of this build yet, comparison skipped"
    fi
    run_gui_tests "build-win$bits"
    wine_env_stop
}

trap wine_env_stop EXIT
trap 'exit 130' INT TERM

tier 64 x86_64-w64-mingw32 win64
tier 32 i686-w64-mingw32 win32 -R '^(LuWindow|LuWindowTable|LuApp|LuControls|X87Precision)Test\.'

if [ ${#failures[@]} -gt 0 ]; then
    log "${#failures[@]} failure(s):"
    printf '  %s\n' "${failures[@]}"
    exit 1
fi
if [ -n "$win32_missing" ]; then
    log "passed, but without the 32-bit Wine runs (see the WARNING above)"
else
    log "passed"
fi
