// SHA-256 against the published test vectors, fed whole and in pieces that
// cross block boundaries.
#include <gtest/gtest.h>

#include <string>

#include "engine/sha256.h"

namespace vestrel {
namespace {

TEST(Sha256, PublishedVectorsWholeAndInPieces) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.message.size() << " bytes";
        for (size_t piece : {1u, 63u, 65u}) {
            Sha256 sha;
            for (size_t at = 0; at < c.message.size(); at += piece) {
                const size_t n = std::min(piece, c.message.size() - at);
                sha.Add(reinterpret_cast<const uint8_t*>(c.message.data()) + at, n);
            }
            EXPECT_EQ(sha.FinishHex(), c.digest) << c.message.size() << " bytes by " << piece;
        }
    }
}

}  // namespace
}  // namespace vestrel
