#!/usr/bin/env bash
# Regenerates the sound files that the tests decode, tests/wav/data/, with sox, flac, lame and
# opusenc. The tests check what the sounds are, not their bytes, so a new run only needs the
# same sounds; the WAV files are the sources that the FLAC and MP3 files must reproduce.
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
# The same in FLAC, whose 5.1 order puts the front left first too.
sox -D -r 44100 -c 1 -n -b 16 "$out/sine_front_left_6ch.flac" synth 0.05 sine 441 vol 0.8 \
    remix 1 0 0 0 0 0
# 0.05 s (2205 frames) of the 441 Hz sine at half scale, mono 44100 Hz, in 16 and 24 bits, and
# the 16-bit one losslessly in FLAC, in MP3 by lame (with its info tag, the default) and in
# Ogg Opus (which decodes at 48000 Hz).
sox -r 44100 -c 1 -n -b 16 "$out/tone_16.wav" synth 0.05 sine 441 vol 0.5
sox -r 44100 -c 1 -n -b 24 "$out/tone_24.wav" synth 0.05 sine 441 vol 0.5
flac --silent --force --no-padding -8 -o "$out/tone_16.flac" "$out/tone_16.wav"
flac --silent --force --no-padding -8 -o "$out/tone_24.flac" "$out/tone_24.wav"
lame --quiet "$out/tone_16.wav" "$out/tone.mp3"
opusenc --quiet "$out/tone_16.wav" "$out/tone.opus"
ls -l "$out"
