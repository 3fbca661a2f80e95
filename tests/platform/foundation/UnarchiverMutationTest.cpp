// The fuzz target's entry, run on deterministic mutations of a sound archive: a bounded stand-in for the fuzzer in the
// normal suite. Any failure here is a crash, a sanitizer report or a hang.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <random>

#include "tests/fuzz/fuzz_unarchiver.cpp"

namespace {

QByteArray mutate(QByteArray bytes, std::mt19937& rng) {
  auto pick = [&](qsizetype n) { return qsizetype(rng() % quint32(std::max<qsizetype>(n, 1))); };
  static const char interesting[] = {'\x00', '\x01', '\x0f', '\x10', '\x7f', '\x80', '\xff', '\xaf', '\xdf', '\x13'};
  const int edits = 1 + int(rng() % 4);
  for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
    const qsizetype at = pick(bytes.size());
    switch (rng() % 6) {
      case 0:  // flip one bit
        bytes[at] = char(bytes[at] ^ (1 << (rng() % 8)));
        break;
      case 1:  // a byte that means something to the format
        bytes[at] = interesting[rng() % sizeof(interesting)];
        break;
      case 2:  // a byte of the trailer or offset table, where the structure lives
        bytes[bytes.size() - 1 - pick(std::min<qsizetype>(bytes.size(), 64))] = char(rng());
        break;
      case 3:
        bytes.truncate(at);
        break;
      case 4:
        bytes.remove(at, 1 + pick(8));
        break;
      default:  // copy a run of the file elsewhere
        bytes.insert(at, bytes.mid(pick(bytes.size()), 1 + pick(16)));
        break;
    }
  }
  return bytes;
}

TEST(UnarchiverMutation, SurvivesThousandsOfMutatedArchives) {
  const QByteArray seed = oxfuzz::sampleArchive();
  ASSERT_TRUE(ox::KeyedUnarchiver(seed).isValid());
  std::mt19937 rng(20240601);
  QElapsedTimer timer;
  timer.start();
  int stillValid = 0;
  ::testing::internal::CaptureStderr();  // one log line per damaged input
  for (int i = 0; i < 4000; ++i) {
    const QByteArray bytes = mutate(seed, rng);
    oxfuzz_unarchiver(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    stillValid += ox::KeyedUnarchiver(bytes).isValid() ? 1 : 0;
  }
  ::testing::internal::GetCapturedStderr();
  // Most mutations break the archive; some (a changed character, a changed number) leave a readable one.
  EXPECT_GT(stillValid, 0);
  EXPECT_LT(stillValid, 4000);
  EXPECT_LT(timer.elapsed(), 60000);  // one input whose reading blows up would take minutes or never end
}

}  // namespace
