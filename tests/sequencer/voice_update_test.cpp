#include "sequencer/voice_update.h"

#include <gtest/gtest.h>

#include "sequencer/pitch.h"
#include "sequencer/saturating.h"

namespace vantor {
namespace {

class VoiceUpdateTest : public ::testing::Test {
 protected:
  int16_t frames[8] = {};
  Sample first = looping(4000);
  Sample second = looping(6000);
  Sample third = looping(8000);
  Song song{};
  Channel channel{};

  Sample looping(uint32_t length) {
    Sample sample{};
    sample.data = frames;
    sample.length = length;
    sample.loopStart = length / 2;
    sample.loopLength = length / 2;
    sample.loopMode = LoopPingPong;
    return sample;
  }

  void SetUp() override {
    resetVoicePool();
    song.globalVolume = 64;
    song.flags = LinearFrequencyTable;
    channel.voice = &voicePool[5];
    channel.volume = 64;
    channel.panning = 128;
    channel.volumeEnvelopeState.value = 64;
    channel.panningEnvelopeState.value = 32;
    channel.fadeoutVolume = 65536;
  }

  Voice& update(uint8_t flags, const Sample& sample) {
    channel.updateFlags = flags;
    updateVoice(channel, sample, song);
    return *channel.voice;
  }
  Voice& update(uint8_t flags) { return update(flags, first); }
};

TEST_F(VoiceUpdateTest, VolumeScalesTo127AtFullScaleWithEqualCentreGains) {
  Voice& voice = update(VolumeChanged | PanningChanged);
  EXPECT_EQ(voice.volume, 127);
  EXPECT_EQ(voice.leftVolume, 63);
  EXPECT_EQ(voice.rightVolume, 63);

  channel.volume = 80;  // C50 is not limited to 64
  EXPECT_EQ(update(VolumeChanged).volume, 159);
  channel.volume = 128;
  EXPECT_EQ(update(VolumeChanged).volume, 255);

  channel.volume = 40;
  channel.volumeOffset = 24;
  channel.volumeEnvelopeState.value = 32;
  channel.fadeoutVolume = 32768;
  EXPECT_EQ(update(VolumeChanged).volume, 31);  // 127.5 / 4, truncated
}

TEST_F(VoiceUpdateTest, PanningZeroSoundsOnlyOnTheLeftAnd255OnlyOnTheRight) {
  channel.panning = 0;
  Voice& voice = update(VolumeChanged | PanningChanged);
  EXPECT_EQ(voice.leftVolume, 127);
  EXPECT_EQ(voice.rightVolume, 0);

  channel.panning = 255;
  update(PanningChanged);
  EXPECT_EQ(voice.leftVolume, 0);
  EXPECT_EQ(voice.rightVolume, 127);
  channel.volume = 32;
  update(VolumeChanged);  // the gains follow the stored pan
  EXPECT_EQ(voice.leftVolume, 0);
  EXPECT_EQ(voice.rightVolume, 63);
}

TEST_F(VoiceUpdateTest, PanningEnvelopeMovesACentredChannelMostAndEdgesNotAtAll) {
  auto panWith = [&](int panning, int envelope) {
    channel.panning = panning;
    channel.panningEnvelopeState.value = envelope;
    return update(PanningChanged).pan;
  };
  EXPECT_EQ(panWith(128, 64), 255);  // 128 + 4 x 32, limited
  EXPECT_EQ(panWith(128, 0), 0);
  EXPECT_EQ(panWith(128, 32), 128);
  EXPECT_EQ(panWith(64, 40), 80);
  EXPECT_EQ(panWith(0, 64), 0);
  EXPECT_EQ(panWith(255, 0), 255);
  // Volume-column slides may leave 0..255; only the voice's pan is limited.
  EXPECT_EQ(panWith(300, 0), 255);
  EXPECT_EQ(panWith(-50, 64), 0);
  EXPECT_EQ(panWith(accumulatorLimit, 0), 255);
  EXPECT_EQ(panWith(-accumulatorLimit, 64), 0);
}

TEST_F(VoiceUpdateTest, NotesInARowAlternateBetweenTheVoiceAndItsPartner) {
  EXPECT_EQ(&update(Trigger | VolumeChanged, first), &voicePool[5]);
  voicePool[5].position = 1234;

  Voice& partner = update(Trigger | VolumeChanged, second);
  EXPECT_EQ(&partner, &voicePool[37]);
  EXPECT_EQ(partner.index, 37);
  EXPECT_EQ(partner.sample, &second);
  EXPECT_EQ(partner.position, 0);
  EXPECT_EQ(partner.volume, 127);
  // The old sound keeps playing where it was while the mixer ramps it out.
  EXPECT_EQ(voicePool[5].sample, &first);
  EXPECT_EQ(voicePool[5].position, 1234);
  EXPECT_EQ(voicePool[5].index, 5);
  EXPECT_EQ(voicePool[5].volume, 0);
  EXPECT_EQ(voicePool[5].leftVolume, 0);
  EXPECT_EQ(voicePool[5].rightVolume, 0);

  Voice& back = update(Trigger, third);
  EXPECT_EQ(&back, &voicePool[5]);
  EXPECT_EQ(back.index, 5);
  EXPECT_EQ(back.sample, &third);
  EXPECT_EQ(voicePool[37].sample, &second);
  EXPECT_EQ(voicePool[37].leftVolume, 0);
}

TEST_F(VoiceUpdateTest, TriggerOnAnIdleVoiceRestartsInPlaceFromSilenceMovingForward) {
  Voice& voice = voicePool[5];
  voice.position = 99;
  voice.positionFrac = 77;
  voice.direction = directionBackward;
  voice.currentLeft = 200 * 256;
  voice.rampRemaining = 40;
  update(Trigger, second);
  EXPECT_EQ(channel.voice, &voice);
  EXPECT_EQ(voicePool[37].sample, nullptr);
  EXPECT_EQ(voice.sample, &second);
  EXPECT_EQ(voice.position, 0);
  EXPECT_EQ(voice.positionFrac, 0u);
  EXPECT_EQ(voice.direction, directionForward);
  EXPECT_EQ(voice.currentLeft, 0);
  EXPECT_EQ(voice.rampRemaining, 0);
}

TEST_F(VoiceUpdateTest, StoredStartOffsetBeyondTheNewSampleStartsItAtZero) {
  channel.voice->startOffset = 3000;
  EXPECT_EQ(update(Trigger, second).position, 3000);
  EXPECT_EQ(channel.voice->startOffset, 0u);

  channel.voice->startOffset = 4000;  // the first sample's loop ends at 4000
  EXPECT_EQ(update(Trigger, first).position, 0);
  channel.voice->startOffset = 3999;
  EXPECT_EQ(update(Trigger, first).position, 3999);
}

TEST_F(VoiceUpdateTest, RewindTurnsABackwardPingPongVoiceForward) {
  Voice& voice = update(Trigger, first);
  voice.position = 3500;
  voice.positionFrac = 12345;
  voice.direction = directionBackward;
  voice.startOffset = 700;
  update(Rewind);
  EXPECT_EQ(voice.sample, &first);
  EXPECT_EQ(voice.position, 0);
  EXPECT_EQ(voice.positionFrac, 0u);
  EXPECT_EQ(voice.startOffset, 0u);
  EXPECT_EQ(voice.direction, directionForward);
}

TEST_F(VoiceUpdateTest, StepIs32Point32FramesPerOutputFrame) {
  channel.period = 4608;
  Voice& voice = update(PitchChanged);
  EXPECT_EQ(voice.stepInt, 0);
  EXPECT_EQ(voice.stepFrac, 814485521u);  // 8363 x 2^32 / 44100

  channel.period = 100000;  // below 100 Hz plays at 100 Hz
  update(PitchChanged);
  EXPECT_EQ(voice.stepFrac, 9739154u);

  // A wrapped real note with the widest arpeggio stays below 256 frames per frame.
  channel.period = linearPeriod(255, 127);
  channel.periodOffset = 15 * 64;
  update(PitchChanged);
  EXPECT_EQ(voice.stepInt, 255);
  EXPECT_EQ(voice.stepFrac, 4294869904u);
}

// The voice keeps the pool's step of one frame a frame: a tone portamento note on an
// untouched channel plays at it until the slide moves the period.
TEST_F(VoiceUpdateTest, PeriodPlusOffsetOfZeroSkipsThePitchUpdateOnBothTables) {
  channel.voice = &voicePool[0];
  for (uint16_t flags : {uint16_t{0}, LinearFrequencyTable}) {
    song.flags = flags;
    channel.period = 64;
    channel.periodOffset = -64;
    Voice& voice = update(PitchChanged | VolumeChanged);
    EXPECT_EQ(voice.stepInt, 1);
    EXPECT_EQ(voice.stepFrac, 0u);
    EXPECT_EQ(channel.updateFlags, VolumeChanged);
  }
}

}  // namespace
}  // namespace vantor
