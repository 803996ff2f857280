// Ed25519 signatures of the update feed and its installers, checked with
// libsodium against the public keys built into this module. The feed's text
// is signed as it is (Ed25519); an installer, too large to hold in memory,
// is signed prehashed (Ed25519ph), so it is checked as it is read and a
// signature of one can never pass for the other.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace comm {

using PublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;

// The keys this module trusts: the product's signing keys (more than one,
// so that a key can be replaced while installations still know the old
// one), and in a test build the test suite's own. Built in; nothing read
// from a file can add to them.
const std::vector<PublicKey>& TrustedKeys();

// The trusted key that hex (64 digits) names; false when it names none.
bool FindTrustedKey(const std::string& hex, PublicKey& key);

// True when signatureHex (128 digits) is key's Ed25519 signature of text.
bool VerifyText(const PublicKey& key, const std::string& text, const std::string& signatureHex);

// The Ed25519ph check of a byte stream.
class StreamSignature {
public:
    StreamSignature();
    void Add(const char* bytes, size_t size);
    // Ends the check: true when signatureHex is key's signature of every byte added.
    bool Verify(const PublicKey& key, const std::string& signatureHex);

private:
    crypto_sign_ed25519ph_state state_;
};

}  // namespace comm
