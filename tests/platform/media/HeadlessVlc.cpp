#include <gtest/gtest.h>

#include "platform/media/VLCLibrary.h"

namespace {
// Sound goes nowhere in tests; set before any test makes the libvlc instance.
struct HeadlessVlc : ::testing::Environment {
  void SetUp() override { ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")}); }
};
[[maybe_unused]] ::testing::Environment* const gHeadlessVlc = ::testing::AddGlobalTestEnvironment(new HeadlessVlc);
}  // namespace
