// The trigger engines behind the renderers, driven by the byte scripts of
// tests/fixtures/trigger.
#include <gtest/gtest.h>

#include "support/ByteScript.h"

namespace klv {
namespace {

class TriggerScript : public testing::TestWithParam<std::string> {};

TEST_P(TriggerScript, ByteAtATime) {
  test::RunByteScript(GetParam());
}
TEST_P(TriggerScript, WholeFeeds) {
  test::RunByteScript(GetParam(), true);
}
INSTANTIATE_TEST_SUITE_P(ByteScript, TriggerScript,
                         testing::ValuesIn(test::ByteScriptFiles("trigger")), test::ByteScriptName);

}  // namespace
}  // namespace klv
