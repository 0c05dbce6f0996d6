// The Ruvo-94 decoder, trigger hook and answers included: the byte scripts of
// tests/fixtures/protocol.
#include <gtest/gtest.h>

#include "support/ByteScript.h"

namespace klv {
namespace {

class ProtocolScript : public testing::TestWithParam<std::string> {};
TEST_P(ProtocolScript, Runs) {
  test::RunByteScript(GetParam());
}
INSTANTIATE_TEST_SUITE_P(ByteScript, ProtocolScript,
                         testing::ValuesIn(test::ByteScriptFiles("protocol")),
                         test::ByteScriptName);

}  // namespace
}  // namespace klv
