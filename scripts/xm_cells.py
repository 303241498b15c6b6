"""The cells of an XM file as trackers read them, and copies of the file with other cells.

scripts/compare-players reads which cells start notes and what a named cell holds, and
shrinks a generated song by writing copies of it with orders, rows, cells or instrument
features left out. Only the parts it changes are rewritten: the module header's order
table and pattern count, the patterns (written unpacked), and a few fields of the
instrument headers; the instruments' other bytes and their samples are copied as they are.
"""
import struct

NOTE, INSTRUMENT, VOLUME, EFFECT, PARAMETER = range(5)
EMPTY = (0, 0, 0, 0, 0)

# Offsets within an instrument header (from its size field) of the fields a shrink clears.
VOLUME_ENVELOPE_TYPE, PANNING_ENVELOPE_TYPE, AUTO_VIBRATO_DEPTH, FADEOUT = 233, 234, 237, 239


class XmSong:
    """A song's orders and pattern cells (patterns[p][row][channel] is a 5-tuple), and
    where its instruments lie, so that a copy can be written with other cells."""

    def __init__(self, data):
        self.data = bytes(data)
        header_size, song_length, _, self.channels, pattern_count, self.instrument_count = \
            struct.unpack_from("<IHHHHH", data, 60)
        self.header_end = 60 + header_size
        self.orders = list(data[80:80 + min(max(song_length, 1), 256)])
        position = self.header_end
        self.patterns = []
        for _ in range(pattern_count):
            length, _, rows, packed = struct.unpack_from("<IBHH", data, position)
            position += length
            self.patterns.append(read_pattern(data, position, packed, rows, self.channels))
            position += packed
        self.instruments_start = position
        self.instrument_starts = []
        try:
            for _ in range(self.instrument_count):
                self.instrument_starts.append(position)
                position += instrument_bytes(data, position)
        except (struct.error, IndexError):
            pass  # a file cut short in its instruments: its cells are still read

    def cell(self, order, row, channel):
        """The cell an order position plays at row and channel; EMPTY where there is none."""
        if order >= len(self.orders) or self.orders[order] >= len(self.patterns):
            return EMPTY
        rows = self.patterns[self.orders[order]]
        return rows[row][channel] if row < len(rows) and channel < self.channels else EMPTY

    def copy(self):
        other = XmSong.__new__(XmSong)
        other.__dict__.update(self.__dict__)
        other.orders = list(self.orders)
        other.patterns = [[list(row) for row in pattern] for pattern in self.patterns]
        return other

    def to_bytes(self, cleared_instrument_fields=(), tail_rows=0):
        """The file with these orders and cells; cleared_instrument_fields holds (instrument
        index, offset, byte count) to write as zeros. With tail_rows, an order of that many
        empty rows follows the others, so that what the last of them leaves sounding is heard."""
        orders, patterns = list(self.orders), list(self.patterns)
        if tail_rows:
            orders.append(len(patterns))
            patterns.append([[EMPTY] * self.channels for _ in range(tail_rows)])
        header = bytearray(self.data[:self.header_end])
        struct.pack_into("<H", header, 64, len(orders))
        struct.pack_into("<H", header, 70, len(patterns))
        header[80:80 + 256] = bytes(orders) + bytes(256 - len(orders))
        out = bytearray(header)
        for pattern in patterns:
            cells = b"".join(bytes(cell) for row in pattern for cell in row)
            out += struct.pack("<IBHH", 9, 0, len(pattern), len(cells)) + cells
        instruments = bytearray(self.data[self.instruments_start:])
        for index, offset, count in cleared_instrument_fields:
            start = self.instrument_starts[index] - self.instruments_start + offset
            instruments[start:start + count] = bytes(count)
        return bytes(out + instruments)


def instrument_bytes(data, position):
    """How many bytes the instrument at position takes: its header, sample headers and samples."""
    size, = struct.unpack_from("<I", data, position)
    samples, = struct.unpack_from("<H", data, position + 27)
    if samples == 0:
        return size
    sample_header_size, = struct.unpack_from("<I", data, position + 29)
    lengths = [struct.unpack_from("<I", data, position + size + i * sample_header_size)[0] for i in range(samples)]
    return size + samples * sample_header_size + sum(lengths)


def read_pattern(data, position, packed, rows, channels):
    cells = [[EMPTY] * channels for _ in range(rows)]
    cursor, end = position, position + packed
    for row in range(rows if packed else 0):
        for channel in range(channels):
            if cursor >= end:
                break
            first = data[cursor]
            if first & 0x80:
                cursor += 1
                fields = [0] * 5
                for bit in range(5):
                    if first & (1 << bit):
                        fields[bit] = data[cursor]
                        cursor += 1
            else:
                fields = list(data[cursor:cursor + 5])
                cursor += 5
            cells[row][channel] = tuple(fields)
    return cells


NOTE_NAMES = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"]


def cell_text(cell):
    """A cell as a tracker shows it: note, instrument, volume column, effect."""
    note, instrument, volume, effect, parameter = cell
    if note == 97:
        note_text = "==="
    elif 1 <= note <= 96:
        note_text = f"{NOTE_NAMES[(note - 1) % 12]}{(note - 1) // 12}"
    else:
        note_text = "---"
    effect_text = f"{'0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ'[effect] if effect < 36 else '?'}{parameter:02X}" \
        if effect or parameter else "..."
    return (f"{note_text} {instrument:02d} " if instrument else f"{note_text} .. ") + \
        (f"{volume:02X} " if volume else ".. ") + effect_text
