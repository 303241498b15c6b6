#!/usr/bin/python3
"""Checks a recording of the sound card against what should have been heard.

The recording is cut into the phases that the Windows test host announced
("phase NAME START END", seconds of the system clock), placed by the --anchor phase,
in which the reference is heard from its start: where a run of the reference's first
second is first heard value for value. A phase named with --match must be
the reference value for value: at least 95% of its frames lie in runs of at least 16
frames that are the reference's, wherever in it (the sound path may drop or repeat a
few milliseconds, which breaks a run but changes no value). --quieter A:B asks that
phase A be at least 20 dB below phase B, --silent that a phase holds no sound.

    compare_audio.py --recording REC.wav --recording-start EPOCH --phases HOST.out
                     --reference REF.wav --match full,restart --quieter half:restart
                     --silent stopped

--content judges by content alone where the clock cannot place the phases (Wine under
processor emulation runs its sound path seconds late, by a varying amount): every
sounding stretch that is not much quieter must be the reference, value for value, in
runs of at least 16 frames; the reference must be heard from its start --starts
times, sound at least 20 dB quieter for --quiet-seconds, and --gaps silences of at
least a second after the first sound. The spans of the reference heard are shown.

    compare_audio.py --content --recording REC.wav --reference REF.wav --starts 2
                     --quiet-seconds 1 --gaps 2

--self-check runs the same measurements on a made-up signal and exits 0 when they
give the expected answers.
"""
import argparse
import sys
import wave

import numpy as np

RATE = 44100
EDGE_BEFORE = 0.4  # seconds left out after a phase starts (a new buffer starts sounding)
EDGE_AFTER = 0.2  # and before it ends
QUIETER_DB = 20.0
SILENT_RMS = 1e-4  # of full scale: a few units of the 16-bit sample
ANCHOR_PLACE = 1.0  # seconds: a run of the reference this early in it places the anchor phase
ANCHOR_RUN = 0.1  # seconds: the least length of that run
SLIP = RATE // 50  # frames the sound path may lose or repeat within one span of the reference
MIN_PIECE = RATE // 100
MATCH_SHARE = 0.95  # of a --match phase's frames that must be the reference's
KEY = 16  # frames that must match to place a piece of the recording in the reference
EXACT_SHARE = 0.98  # of the frames heard at full level that must be the reference's
SPAN_MIN = 0.3  # seconds: shorter runs of the reference are not spans of their own
START_PLACE = 0.02  # seconds: a span that starts this early in the reference is heard from its start


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


def cross_correlation(signal, pattern):
    """Unnormalised correlation of pattern with signal at every offset where it fits."""
    a = signal.sum(axis=1)
    b = pattern.sum(axis=1)
    size = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    spectrum = np.fft.rfft(a, size) * np.conj(np.fft.rfft(b, size))
    return np.fft.irfft(spectrum, size)[: len(a) - len(b) + 1]


def normalised_scores(signal, pattern):
    """The normalised correlation (of the channels' sums) of pattern with signal at every
    offset where it fits: a louder stretch of a song does not win over the one that is
    the same. Where the signal is silent the score is 0: the rounding errors of the
    transform divided by no energy at all would otherwise outscore every true match."""
    mono = signal.sum(axis=1)
    energy = np.concatenate([[0.0], np.cumsum(mono * mono)])
    window_energy = energy[len(pattern) :] - energy[: -len(pattern)]
    pattern_energy = np.sum(pattern.sum(axis=1) ** 2)
    sounding = window_energy > len(pattern) * SILENT_RMS**2
    return np.where(sounding, cross_correlation(signal, pattern), 0.0) / np.sqrt(
        np.maximum(window_energy * pattern_energy, 1e-30))


def correlation(x, y):
    denominator = np.sqrt(np.sum(x * x) * np.sum(y * y))
    return float(np.sum(x * y) / denominator) if denominator > 0 else 0.0


def best_alignment(heard, reference):
    """Offset into reference where heard fits best, and the correlation there."""
    if len(heard) == 0 or len(reference) < len(heard):
        return 0, 0.0
    offset = int(np.argmax(normalised_scores(reference, heard)))
    return offset, correlation(heard, reference[offset : offset + len(heard)])


def rms(samples):
    return float(np.sqrt(np.mean(samples * samples))) if len(samples) else 0.0


def decibels(ratio):
    return 20 * np.log10(ratio) if ratio > 0 else -np.inf


def find_anchor(runs, start_of_recording, phases, anchor):
    """Where the anchor phase's start is heard in the recording: the first run that is
    the reference value for value and lies near its start, before the phase has ended
    (the anchor is heard within a second after its end). The recorder starts a variable
    time after it is asked to, and the sound reaches the sink after a delay, so the
    clock alone does not place it; nor does a correlation with the reference's first
    seconds, which a moment lost in them can make prefer a place where the song's
    start is only partly heard, when the song repeats itself."""
    if anchor not in phases:
        raise SystemExit(f"phase {anchor} was not announced by the host")
    start, end = phases[anchor]
    last = int((end - start_of_recording + 1.0) * RATE)
    for at, place, length in runs:
        if at >= last:
            break
        if place <= ANCHOR_PLACE * RATE and length >= ANCHOR_RUN * RATE:
            found = at - place
            return found, found / RATE - (start - start_of_recording)
    raise SystemExit(f"the start of the reference is not heard before phase {anchor} ends")


def measure(recording, start_of_recording, phases, reference, args, coverage):
    """The clock's checks; coverage holds the runs of the recording that are the
    reference value for value, and for each frame whether one holds it (exact_coverage)."""
    runs, covered = coverage
    anchor_frame, delay = find_anchor(runs, start_of_recording, phases, args.anchor)
    anchor_time = phases[args.anchor][0]
    print(f"the reference starts at {anchor_frame / RATE:.3f} s of the recording ({delay:+.3f} s against the clock)")

    def window(name):
        if name not in phases:
            raise SystemExit(f"phase {name} was not announced by the host")
        start, end = phases[name]
        first = anchor_frame + int((start - anchor_time + EDGE_BEFORE) * RATE)
        last = anchor_frame + int((end - anchor_time - EDGE_AFTER) * RATE)
        return slice(max(first, 0), max(min(last, len(recording)), 0))

    failures = 0
    for name in filter(None, args.match.split(",")):
        frames = window(name)
        heard = recording[frames]
        share = float(np.mean(covered[frames])) if len(heard) else 0.0
        offset, whole = best_alignment(heard, reference)
        ok = share >= MATCH_SHARE
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {name} is the reference: {share:.1%} of it value for value (at least"
              f" {MATCH_SHARE:.0%}), {len(heard) / RATE:.2f} s heard from {offset / RATE:.3f} s of it on"
              f" (correlation {whole:.5f} at that one alignment)")
    for pair in filter(None, args.quieter.split(",")):
        quiet, loud = pair.split(":")
        difference = decibels(rms(recording[window(quiet)]) / max(rms(recording[window(loud)]), 1e-12))
        ok = difference <= -QUIETER_DB
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {quiet} is {-difference:.1f} dB below {loud} (at least {QUIETER_DB})")
    for name in filter(None, args.silent.split(",")):
        level = rms(recording[window(name)])
        ok = level <= SILENT_RMS
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {name} is silent (rms {level:.2e} of full scale)")
    return failures


def as_frames(samples):
    """Stereo samples (of full scale 1) as one integer per frame (left in the high half),
    for exact matching."""
    values = np.round(samples * 32768).astype(np.int64)
    return (values[:, 0] << 16) | (values[:, 1] & 0xFFFF)


def exact_runs(recording, reference):
    """The stretches of recording that are the reference value for value: (where in the
    recording, where in the reference, length), each at least KEY frames. Silence
    matches nothing."""
    index = {}
    for at in range(len(reference) - KEY, -1, -1):  # the earliest place wins
        key = reference[at : at + KEY]
        if key.any():
            index[key.tobytes()] = at
    runs = []
    at = 0
    while at <= len(recording) - KEY:
        place = index.get(recording[at : at + KEY].tobytes())
        if place is None:
            at += 1
            continue
        length = min(len(recording) - at, len(reference) - place)
        same = recording[at : at + length] == reference[place : place + length]
        if not same.all():
            length = int(np.argmin(same))
        runs.append((at, place, length))
        at += length
    return runs


def spans_heard(runs):
    """The stretches of the reference heard one after the other, in seconds (start in the
    reference, length): runs that continue each other across a few lost or repeated
    milliseconds form one span, and spans shorter than SPAN_MIN are left out."""
    spans = []
    for at, place, length in runs:
        if spans:
            last_at, last_place, last_length = spans[-1]
            lost = place - (last_place + last_length)
            if -SLIP <= lost <= SLIP and 0 <= at - (last_at + last_length) <= SLIP:
                spans[-1] = (last_at, last_place, place + length - last_place)
                continue
        spans.append((at, place, length))
    return [(place / RATE, length / RATE) for _, place, length in spans if length >= SPAN_MIN * RATE]


def describe_spans(spans):
    return ", ".join(f"{place:.2f}+{length:.2f}" for place, length in spans) or "none"


def exact_coverage(recording, reference):
    """The exact runs, and for each frame of the recording whether one holds it."""
    runs = exact_runs(recording, reference)
    covered = np.zeros(len(recording), dtype=bool)
    for at, _, length in runs:
        covered[at : at + length] = True
    return runs, covered


def measure_content(recording, reference, args):
    runs, covered = exact_coverage(recording, reference)
    left = (recording >> 16).astype(np.float64) / 32768
    right = ((recording & 0xFFFF) - ((recording & 0x8000) << 1)).astype(np.float64) / 32768
    chunks = len(recording) // MIN_PIECE
    power = (left[: chunks * MIN_PIECE] ** 2 + right[: chunks * MIN_PIECE] ** 2).reshape(chunks, -1).mean(axis=1) / 2
    level = np.sqrt(power)
    exact_chunk = covered[: chunks * MIN_PIECE].reshape(chunks, -1).all(axis=1)
    loud_level = float(np.median(level[exact_chunk])) if exact_chunk.any() else 0.0
    silent = level <= SILENT_RMS
    quiet = ~silent & ~exact_chunk & (level <= loud_level * 10 ** (-QUIETER_DB / 20))
    loud = ~silent & ~quiet
    wrong = loud & ~covered[: chunks * MIN_PIECE].reshape(chunks, -1).any(axis=1)
    exact_share = float(np.mean(covered[: chunks * MIN_PIECE].reshape(chunks, -1)[loud])) if loud.any() else 0.0
    heard_spans = spans_heard(runs)
    starts = sum(place <= START_PLACE for place, _ in heard_spans)
    gaps = 0
    if loud.any():
        quiet_run = 0
        for is_silent in silent[int(np.argmax(loud)) :]:
            quiet_run = quiet_run + 1 if is_silent else 0
            gaps += quiet_run == 100  # a second of silence
    heard = covered.sum() / RATE
    failures = 0
    checks = [
        (exact_share >= EXACT_SHARE,
         f"what was heard at full level is the reference: {exact_share:.2%} of it value for value"
         f" ({heard:.2f} s), {int(wrong.sum())} pieces of 10 ms that are not"),
        (starts >= args.starts, f"the reference is heard from its start {starts} times (at least {args.starts});"
         f" the spans heard (start+length in seconds of it): {describe_spans(heard_spans)}"),
        (quiet.sum() / 100 >= args.quiet_seconds,
         f"{quiet.sum() / 100:.2f} s of sound at least {QUIETER_DB:.0f} dB quieter (at least {args.quiet_seconds})"),
        (gaps >= args.gaps, f"{gaps} silences of a second or more after the first sound (at least {args.gaps})"),
    ]
    for ok, text in checks:
        failures += not ok
        print(f"{'ok' if ok else 'FAILED'}: {text}")
    return failures


def self_check(args):
    """A made-up session: 3.6 s of nothing (Wine was slow to start), 4 s of a signal
    that repeats its first 1.5 s, of which the sound path lost 60 ms after 0.6 s and
    160 ms after 1.67 s, 2 s at -50 dB, 2 s of silence. The recording starts 3 s
    earlier than the clock's phases say."""
    rng = np.random.default_rng(7)
    reference = np.round(rng.standard_normal((8 * RATE, 2)) * 0.2 * 32768) / 32768
    reference[int(1.5 * RATE) : 3 * RATE] = reference[: int(1.5 * RATE)]
    heard = np.concatenate([reference[: int(0.6 * RATE)], reference[int(0.66 * RATE) : int(1.67 * RATE)],
                            reference[int(1.83 * RATE) : 4 * RATE]])
    recording = np.zeros((11 * RATE, 2))
    delay = int(3.623 * RATE)
    recording[delay : delay + len(heard)] = heard
    after = delay + len(heard)
    recording[after : after + 2 * RATE] = np.round(reference[4 * RATE : 6 * RATE] * 10 ** (-50 / 20) * 32768) / 32768
    coverage = exact_coverage(as_frames(recording), as_frames(reference))
    start = 1000.0
    phases = {
        "full": (start + 2.1, start + 6.1),
        "half": (start + 6.1, start + 8.1),
        "stopped": (start + 8.2, start + 9.9),
        "shifted": (start + 0.1, start + 3.5),  # mostly silence: must not match
    }
    args.anchor, args.match, args.quieter, args.silent = "full", "full", "half:full", "stopped"
    good = measure(recording, start - 3.0, phases, reference, args, coverage) == 0
    args.match, args.quieter, args.silent = "shifted", "full:half", "full"
    bad = measure(recording, start - 3.0, phases, reference, args, coverage)
    print(f"self-check: the good session passes: {good}; the faulty one fails all 3 checks: {bad == 3}")
    return 0 if good and bad == 3 and self_check_content(args) else 1


def self_check_content(args):
    """A made-up late session, judged by content: the reference heard from its start
    twice with frames lost in between and a second of -50 dB, silences between. Then
    the same with one value in thirty changed, the first start lost and without
    the quiet part."""
    rng = np.random.default_rng(11)
    reference = np.round(rng.standard_normal((4 * RATE, 2)) * 3000).astype(np.int64)
    pieces = [np.zeros((RATE, 2), np.int64), reference[: 2 * RATE], reference[2 * RATE + 500 : 3 * RATE],
              np.zeros((int(1.5 * RATE), 2), np.int64), reference[: 2 * RATE],
              np.round(reference[2 * RATE : 3 * RATE] * 10 ** (-50 / 20)).astype(np.int64),
              np.zeros((int(1.2 * RATE), 2), np.int64)]
    session = np.concatenate(pieces)
    integer_frames = lambda frames: (frames[:, 0] << 16) | (frames[:, 1] & 0xFFFF)
    args.starts, args.quiet_seconds, args.gaps = 2, 0.5, 2
    good = measure_content(integer_frames(session), integer_frames(reference), args) == 0
    damaged = session.copy()
    damaged[::30, 0] += 1
    damaged[-int(2.2 * RATE) : -int(1.2 * RATE)] = 0
    damaged[int(1.0 * RATE) : int(1.5 * RATE)] = 0  # and the first start lost
    bad = measure_content(integer_frames(damaged), integer_frames(reference), args)
    print(f"self-check by content: the good session passes: {good}; the faulty one fails 3 checks: {bad == 3}")
    return good and bad == 3


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--recording")
    parser.add_argument("--recording-start", type=float, help="system clock when the recording began")
    parser.add_argument("--phases", help="the host's output")
    parser.add_argument("--reference")
    parser.add_argument("--anchor", default="full", help="the phase that hears the reference from its start")
    parser.add_argument("--match", default="")
    parser.add_argument("--quieter", default="")
    parser.add_argument("--silent", default="")
    parser.add_argument("--content", action="store_true", help="judge by content, not by the clock")
    parser.add_argument("--starts", type=int, default=1, help="times the reference is heard from its start")
    parser.add_argument("--quiet-seconds", type=float, default=0.0)
    parser.add_argument("--gaps", type=int, default=0)
    parser.add_argument("--self-check", action="store_true")
    args = parser.parse_args()
    if args.self_check:
        return self_check(args)
    if args.content:
        if not (args.recording and args.reference):
            parser.error("--recording and --reference are needed")
        return 1 if measure_content(as_frames(read_wav(args.recording)), as_frames(read_wav(args.reference)),
                                    args) else 0
    if not (args.recording and args.recording_start is not None and args.phases and args.reference):
        parser.error("--recording, --recording-start, --phases and --reference are needed")
    recording, reference = read_wav(args.recording), read_wav(args.reference)
    coverage = exact_coverage(as_frames(recording), as_frames(reference))
    failures = measure(recording, args.recording_start, read_phases(args.phases), reference, args, coverage)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
