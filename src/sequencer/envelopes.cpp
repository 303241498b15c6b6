// Instrument envelopes: one tick of a volume or panning envelope, and the Lxx
// placement of the volume envelope cursor.
//
// Values are 16.16 fixed point. On reaching a point the value is that point's exact
// y; between points it moves by a per-tick slope. The loop jump is taken before the
// end and sustain tests, so a loop keeps running after key-off, and the sustain point
// holds only while the key is down.
#include "sequencer/envelopes.h"

#include <algorithm>
#include <cstdint>

#include "sequencer/saturating.h"

namespace vantor {

namespace {

constexpr int32_t envelopeTop = 64;
constexpr int32_t fixedOne = 65536;
constexpr int32_t fixedTop = envelopeTop * fixedOne;

// The point in slot index. Counts and indexes are limited when the song loads, but
// the replay does not rely on it: a slot outside the record reads as (0, 0), like the
// unused slots a file leaves zero, and y is limited to 0..64 so that the 16.16
// arithmetic stays far inside 32 bits.
EnvelopePoint pointAt(const Envelope& envelope, int64_t index) {
  if (envelope.points == nullptr || index < 0 || index >= envelopePointSlots) return {0, 0};
  EnvelopePoint point = envelope.points[index];
  point.y = static_cast<uint16_t>(std::min<int32_t>(point.y, envelopeTop));
  return point;
}

int32_t limitFixed(int64_t fixedValue) {
  return static_cast<int32_t>(std::clamp<int64_t>(fixedValue, 0, fixedTop));
}

// Per-tick increment from one point to the next, truncated toward zero. A segment
// whose end does not lie after its start can never be reached, so the envelope holds
// its value there for good.
int32_t segmentSlope(EnvelopePoint from, EnvelopePoint to) {
  if (to.x <= from.x) return 0;
  return ((to.y - from.y) * fixedOne) / (to.x - from.x);
}

void startSegment(EnvelopeState& cursor, const Envelope& envelope, int32_t point) {
  EnvelopePoint from = pointAt(envelope, point);
  cursor.slope = segmentSlope(from, pointAt(envelope, int64_t{point} + 1));
  cursor.fixedValue = from.y * fixedOne;
  cursor.point = point + 1;
}

}  // namespace

void stepEnvelope(Channel& channel, EnvelopeState& cursor, const Envelope& envelope, uint8_t flagBit) {
  int32_t point = cursor.point;
  if (point < envelope.pointCount) {
    if (cursor.tick != pointAt(envelope, point).x) {
      cursor.fixedValue = limitFixed(int64_t{cursor.fixedValue} + cursor.slope);
    } else {
      if ((envelope.type & EnvelopeLoop) && point == envelope.loopEnd) {
        point = envelope.loopStart;
        cursor.point = point;
        cursor.tick = pointAt(envelope, point).x;
      }
      // At the last point, or at the sustain point while the key is down, the value is
      // the point's own and the tick does not advance.
      bool lastPoint = point == envelope.pointCount - 1;
      bool sustained =
          (envelope.type & EnvelopeSustain) && point == envelope.sustainPoint && channel.keyOff == 0;
      if (lastPoint || sustained) {
        cursor.value = pointAt(envelope, point).y;
        if (lastPoint) cursor.done = 1;
        channel.updateFlags |= flagBit;
        return;
      }
      startSegment(cursor, envelope, point);
    }
  }
  cursor.value = static_cast<int16_t>(cursor.fixedValue >> 16);
  cursor.tick = incrementSaturating(cursor.tick);
  channel.updateFlags |= flagBit;
}

void setEnvelopePosition(EnvelopeState& cursor, const Envelope& envelope, int position) {
  // Find the segment that holds position; a position equal to a point's x lies at the
  // end of the segment leading to that point, so the next step reaches the point
  // itself with its sustain and loop tests.
  const int32_t count = envelope.pointCount;
  int32_t segment = 0;
  while (segment < count && position > pointAt(envelope, segment + 1).x) ++segment;

  if (segment >= count - 1) {
    cursor.point = segment;
    cursor.value = pointAt(envelope, count - 1).y;
    cursor.done = 1;
    return;
  }
  EnvelopePoint from = pointAt(envelope, segment);
  EnvelopePoint to = pointAt(envelope, segment + 1);
  cursor.done = 0;
  cursor.tick = position;
  cursor.slope = segmentSlope(from, to);
  // 64 bits: a position before the first point's x would otherwise extrapolate far
  // outside the envelope's range.
  cursor.fixedValue = limitFixed(int64_t{from.y} * fixedOne + (int64_t{position} - from.x) * cursor.slope);
  cursor.point = segment + 1;
  cursor.value = cursor.fixedValue >> 16;
}

}  // namespace vantor
