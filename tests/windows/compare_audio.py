#!/usr/bin/python3
"""Checks a recording of the sound card against what should have been heard.

The recording is cut into the phases that the Windows test host announced
("phase NAME START END", seconds of the system clock). A phase named with --match
must be the reference, found anywhere in it by cross-correlation; its normalised
correlation at the best alignment must reach the threshold. --quieter A:B asks that
phase A be at least 20 dB below phase B, --silent that a phase holds no sound.

    compare_audio.py --recording REC.wav --recording-start EPOCH --phases HOST.out
                     --reference REF.wav --match full,restart --quieter half:restart
                     --silent stopped

--self-check runs the same measurements on a made-up signal and exits 0 when they
give the expected answers.
"""
import argparse
import sys
import wave

import numpy as np

RATE = 44100
EDGE_BEFORE = 0.4  # seconds left out after a phase starts (the device's latency)
EDGE_AFTER = 0.2  # and before it ends
QUIETER_DB = 20.0
SILENT_RMS = 1e-4  # of full scale: a few units of the 16-bit sample


def read_wav(path):
    with wave.open(path, "rb") as wav:
        if wav.getsampwidth() != 2 or wav.getnchannels() != 2 or wav.getframerate() != RATE:
            raise SystemExit(f"{path}: expected 16-bit stereo at {RATE} Hz")
        data = np.frombuffer(wav.readframes(wav.getnframes()), dtype="<i2")
    return data.reshape(-1, 2).astype(np.float64) / 32768.0


def read_phases(path):
    phases = {}
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            parts = line.split()
            if len(parts) == 4 and parts[0] == "phase":
                phases[parts[1]] = (float(parts[2]), float(parts[3]))
    return phases


def best_alignment(heard, reference):
    """Offset into reference where heard fits best, and the correlation there."""
    if len(heard) == 0 or len(reference) < len(heard):
        return 0, 0.0
    a = heard.sum(axis=1)
    b = reference.sum(axis=1)
    size = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    spectrum = np.fft.rfft(b, size) * np.conj(np.fft.rfft(a, size))
    raw = np.fft.irfft(spectrum, size)[: len(b) - len(a) + 1]
    offset = int(np.argmax(raw))
    part = reference[offset : offset + len(heard)]
    denominator = np.sqrt(np.sum(heard * heard) * np.sum(part * part))
    return offset, float(np.sum(heard * part) / denominator) if denominator > 0 else 0.0


def rms(samples):
    return float(np.sqrt(np.mean(samples * samples))) if len(samples) else 0.0


def decibels(ratio):
    return 20 * np.log10(ratio) if ratio > 0 else -np.inf


def measure(recording, start_of_recording, phases, reference, args):
    def window(name):
        if name not in phases:
            raise SystemExit(f"phase {name} was not announced by the host")
        start, end = phases[name]
        first = int((start - start_of_recording + EDGE_BEFORE) * RATE)
        last = int((end - start_of_recording - EDGE_AFTER) * RATE)
        return recording[max(first, 0) : max(min(last, len(recording)), 0)]

    failures = 0
    for name in filter(None, args.match.split(",")):
        heard = window(name)
        offset, correlation = best_alignment(heard, reference)
        ok = correlation >= args.threshold
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {name} is the reference: correlation {correlation:.5f}"
              f" (at least {args.threshold}), {len(heard) / RATE:.2f} s heard from {offset / RATE:.3f} s on")
    for pair in filter(None, args.quieter.split(",")):
        quiet, loud = pair.split(":")
        difference = decibels(rms(window(quiet)) / max(rms(window(loud)), 1e-12))
        ok = difference <= -QUIETER_DB
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {quiet} is {-difference:.1f} dB below {loud} (at least {QUIETER_DB})")
    for name in filter(None, args.silent.split(",")):
        level = rms(window(name))
        ok = level <= SILENT_RMS
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {name} is silent (rms {level:.2e} of full scale)")
    return failures


def self_check(args):
    """A made-up session: 2 s of nothing, 4 s of signal, 2 s at -50 dB, 2 s of silence."""
    rng = np.random.default_rng(7)
    reference = rng.standard_normal((8 * RATE, 2)) * 0.2
    recording = np.zeros((10 * RATE, 2))
    delay = int(2.123 * RATE)
    recording[delay : delay + 4 * RATE] = reference[: 4 * RATE]
    recording[delay + 4 * RATE : delay + 6 * RATE] = reference[4 * RATE : 6 * RATE] * 10 ** (-50 / 20)
    recording += rng.standard_normal(recording.shape) * 1e-5  # quantisation-like noise
    start = 1000.0
    phases = {
        "full": (start + 2.1, start + 6.1),
        "half": (start + 6.1, start + 8.1),
        "stopped": (start + 8.2, start + 9.9),
        "shifted": (start + 0.5, start + 4.0),  # mostly silence: must not match
    }
    args.match, args.quieter, args.silent = "full", "half:full", "stopped"
    good = measure(recording, start, phases, reference, args) == 0
    args.match, args.quieter, args.silent = "shifted", "full:half", "full"
    bad = measure(recording, start, phases, reference, args)
    print(f"self-check: the good session passes: {good}; the faulty one fails all 3 checks: {bad == 3}")
    return 0 if good and bad == 3 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--recording")
    parser.add_argument("--recording-start", type=float, help="system clock when the recording began")
    parser.add_argument("--phases", help="the host's output")
    parser.add_argument("--reference")
    parser.add_argument("--match", default="")
    parser.add_argument("--quieter", default="")
    parser.add_argument("--silent", default="")
    parser.add_argument("--threshold", type=float, default=0.99)
    parser.add_argument("--self-check", action="store_true")
    args = parser.parse_args()
    if args.self_check:
        return self_check(args)
    if not (args.recording and args.recording_start is not None and args.phases and args.reference):
        parser.error("--recording, --recording-start, --phases and --reference are needed")
    failures = measure(read_wav(args.recording), args.recording_start, read_phases(args.phases),
                       read_wav(args.reference), args)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
