// The volume column: on the row tick a set value or a one-time step, on the effect
// ticks the continuous slides, vibrato and tone portamento. Its panning slides are
// not stopped at 0 and 255; the voice update limits the panning it computes.
#include "sequencer/effects.h"
#include "sequencer/envelopes.h"
#include "sequencer/saturating.h"
#include "sequencer/sequencer.h"

namespace vantor {

namespace {

// 0x10..0x50 set the volume 0..64.
constexpr uint8_t lowestSetVolume = 0x10;
constexpr uint8_t highestSetVolume = 0x50;

// The other volume-column ranges, by the byte's high nibble.
constexpr uint8_t VolumeSlideDown = 0x6;
constexpr uint8_t VolumeSlideUp = 0x7;
constexpr uint8_t FineVolumeSlideDown = 0x8;
constexpr uint8_t FineVolumeSlideUp = 0x9;
constexpr uint8_t VibratoSpeed = 0xA;
constexpr uint8_t VibratoDepth = 0xB;
constexpr uint8_t SetPanning = 0xC;
constexpr uint8_t PanningSlideLeft = 0xD;
constexpr uint8_t PanningSlideRight = 0xE;
constexpr uint8_t TonePortamento = 0xF;

void setVolume(Channel& channel, int32_t volume) {
  channel.volume = volume;
  channel.updateFlags |= VolumeChanged;
}

void setPanning(Channel& channel, int32_t panning) {
  channel.panning = panning;
  channel.updateFlags |= PanningChanged;
}

void setVibratoSpeed(Channel& channel, uint8_t speed) { channel.vibratoSpeed = speed; }

// Stored even when it is 0.
void setVibratoDepth(Channel& channel, uint8_t depth) { channel.vibratoDepth = depth; }

void slidePanning(Channel& channel, int32_t amount) {
  channel.panning = addSaturating(channel.panning, amount);
  channel.updateFlags |= PanningChanged;
}

// Not a tone-portamento row: the pitch takes the new note at once and only the
// restart of the sample is suppressed. F0 keeps the speed.
void startTonePortamento(Channel& channel, uint8_t speed) {
  if (speed != 0) channel.portaSpeed = static_cast<uint8_t>(speed * 16);
  channel.portaTarget = channel.notePeriod;
  channel.updateFlags &= ~Trigger;
}

// The phase advances on top of any vibrato effect in the same cell.
void vibrato(Channel& channel, uint8_t depth) {
  setVibratoDepth(channel, depth);
  applyVibrato(channel);
  advancePhase(channel.vibratoPos, channel.vibratoSpeed);
}

}  // namespace

void applyVolumeColumn(Channel& channel, uint8_t volumeByte) {
  if (volumeByte >= lowestSetVolume && volumeByte <= highestSetVolume) {
    setVolume(channel, volumeByte - lowestSetVolume);
    return;
  }
  uint8_t value = volumeByte & 0x0F;
  switch (volumeByte >> 4) {
    case VolumeSlideDown:
      slideVolumeDown(channel, value);
      break;
    case VolumeSlideUp:
      slideVolumeUp(channel, value);
      break;
    case FineVolumeSlideDown:
      slideVolumeDown(channel, value);
      break;
    case FineVolumeSlideUp:
      slideVolumeUp(channel, value);
      break;
    case VibratoSpeed:
      setVibratoSpeed(channel, value);
      break;
    case VibratoDepth:
      setVibratoDepth(channel, value);
      break;
    case SetPanning:
      setPanning(channel, value * 16);
      break;
    case PanningSlideLeft:
      slidePanning(channel, -value);
      break;
    case PanningSlideRight:
      slidePanning(channel, value);
      break;
    case TonePortamento:
      startTonePortamento(channel, value);
      break;
    default:
      break;  // 0x01..0x0F and 0x51..0x5F are ignored
  }
}

void applyVolumeColumnTick(Channel& channel, uint8_t volumeByte) {
  uint8_t value = volumeByte & 0x0F;
  switch (volumeByte >> 4) {
    case VolumeSlideDown:
      slideVolumeDown(channel, value);
      break;
    case VolumeSlideUp:
      slideVolumeUp(channel, value);
      break;
    case VibratoDepth:
      vibrato(channel, value);
      break;
    case PanningSlideLeft:
      slidePanning(channel, -value);
      break;
    case PanningSlideRight:
      slidePanning(channel, value);
      break;
    case TonePortamento:
      applyTonePortamento(channel);
      break;
    default:
      break;
  }
}

}  // namespace vantor
