#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace zentro::platform {
namespace {

// The FIPS 180-2 examples, and the padding edges around one block, on both systems.
TEST(Sha256, KnownAnswersWholeAndInPieces) {
  const struct {
    std::string message;
    std::string digest;
  } vectors[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(Sha256::hex(Sha256::of(v.message)), v.digest);
    // Fed in uneven pieces, as a download arrives.
    Sha256 h;
    for (std::size_t at = 0, step = 1; at < v.message.size(); at += step, step = step * 2 + 1) {
      h.update(std::string_view(v.message).substr(at, step));
    }
    EXPECT_EQ(Sha256::hex(h.finish()), v.digest);
    h.update(v.message);  // finish started afresh
    EXPECT_EQ(Sha256::hex(h.finish()), v.digest);
  }
}

TEST(Sha256, DigestMatchesHexInEitherCase) {
  const Sha256::Digest d = Sha256::of("abc");
  EXPECT_TRUE(digestMatches(d, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
  EXPECT_TRUE(
      digestMatches(d, " BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD "));
  EXPECT_FALSE(digestMatches(d, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae"));
  EXPECT_FALSE(digestMatches(d, "ba7816bf"));
  EXPECT_FALSE(digestMatches(d, ""));
  EXPECT_FALSE(digestMatches(d, "zz7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
}

}  // namespace
}  // namespace zentro::platform
