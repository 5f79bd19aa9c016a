#!/usr/bin/env bash
# Regenerates the Ogg Vorbis files that the tests decode, tests/wav/data/*.ogg, with sox. The
# tests check what the sounds are, not their bytes, so a new run only needs the same sounds.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/wav/data
mkdir -p "$out"
# 0.1 s (2205 frames) of a 441 Hz sine at half scale, mono 22050 Hz.
sox -r 22050 -c 1 -n "$out/sine_mono_22050.ogg" synth 0.1 sine 441 vol 0.5
# 0.05 s (2205 frames) at 44100 Hz: the same sine on the left, silence on the right.
sox -r 44100 -c 1 -n "$out/sine_left_44100.ogg" synth 0.05 sine 441 vol 0.5 remix 1 0
# 0.05 s of six channels (5.1 in the Vorbis order): the sine at 0.8 on the front left alone.
sox -r 44100 -c 1 -n "$out/sine_front_left_6ch.ogg" synth 0.05 sine 441 vol 0.8 remix 1 0 0 0 0 0
ls -l "$out"
