// Comparing loaded songs record by record (pointers aside), for the tests that load
// the same bytes in two ways.
#pragma once

#include <gtest/gtest.h>

#include "loading/song.h"

namespace vantor::test {

// Everything a sample holds, its data with the 8 spare values included.
testing::AssertionResult sameSample(const Sample& expected, const Sample& actual);
testing::AssertionResult sameInstrument(const Instrument& expected, const Instrument& actual);
testing::AssertionResult sameSong(const Song& expected, const Song& actual);

// True when the instrument is empty as a cut or sample-less instrument is.
bool isEmptyInstrument(const Instrument& instrument);

}  // namespace vantor::test
