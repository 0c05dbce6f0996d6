// The Hex/ASCII and TTY renderers, trigger hook included: the byte scripts of
// tests/fixtures/display.
#include <gtest/gtest.h>

#include "support/ByteScript.h"

namespace klv {
namespace {

class DisplayScript : public testing::TestWithParam<std::string> {};
TEST_P(DisplayScript, Runs) {
  test::RunByteScript(GetParam());
}
// Runs of text rendered in one go end as byte by byte.
TEST_P(DisplayScript, RunsFedWhole) {
  test::RunByteScript(GetParam(), true);
}
INSTANTIATE_TEST_SUITE_P(ByteScript, DisplayScript,
                         testing::ValuesIn(test::ByteScriptFiles("display")), test::ByteScriptName);

}  // namespace
}  // namespace klv
