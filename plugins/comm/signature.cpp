#include "signature.h"

#include <mutex>

namespace comm {
namespace {

// The product's update signing keys, newest first. Their secret halves are
// kept by whoever publishes updates (scripts/publish-update --new-key made
// them) and never enter the repository.
constexpr const char* kProductKeys[] = {
    "a967c66588d19de40bf88440034dfa3c60a8729ca8d66fd0d3a0e3ba96843a9d",
    "245f55dfe735238915f9de2a20fe462def6cfbc0f779596a0d1b56421f7d1d75",
};

bool ReadHex(const std::string& hex, unsigned char* bytes, size_t size) {
    size_t length = 0;
    return hex.size() == 2 * size &&
           sodium_hex2bin(bytes, size, hex.c_str(), hex.size(), nullptr, &length, nullptr) == 0 && length == size;
}

std::vector<PublicKey> BuiltInKeys() {
    std::vector<PublicKey> keys;
    auto add = [&keys](const char* hex) {
        PublicKey key;
        if (ReadHex(hex, key.data(), key.size())) keys.push_back(key);
    };
    for (const char* hex : kProductKeys) add(hex);
#ifdef LUMAREST_TEST_UPDATE_KEY
    add(LUMAREST_TEST_UPDATE_KEY);  // the test suite's key: test builds of the module only
#endif
    return keys;
}

// libsodium picks its fastest code once; signatures are checked on the
// module's worker threads, so the first use sets it up under a flag.
void InitialiseOnce() {
    static std::once_flag once;
    // Below 0 only when there is no randomness, which verifying does not use.
    std::call_once(once, [] { [[maybe_unused]] const int ready = sodium_init(); });
}

}  // namespace

const std::vector<PublicKey>& TrustedKeys() {
    static const std::vector<PublicKey> keys = BuiltInKeys();
    return keys;
}

bool FindTrustedKey(const std::string& hex, PublicKey& key) {
    PublicKey named;
    if (!ReadHex(hex, named.data(), named.size())) return false;
    for (const PublicKey& trusted : TrustedKeys()) {
        if (trusted == named) {
            key = trusted;
            return true;
        }
    }
    return false;
}

bool VerifyText(const PublicKey& key, const std::string& text, const std::string& signatureHex) {
    InitialiseOnce();
    unsigned char signature[crypto_sign_BYTES];
    return ReadHex(signatureHex, signature, sizeof signature) &&
           crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                       key.data()) == 0;
}

StreamSignature::StreamSignature() {
    InitialiseOnce();
    crypto_sign_ed25519ph_init(&state_);
}

void StreamSignature::Add(const char* bytes, size_t size) {
    crypto_sign_ed25519ph_update(&state_, reinterpret_cast<const unsigned char*>(bytes), size);
}

bool StreamSignature::Verify(const PublicKey& key, const std::string& signatureHex) {
    unsigned char signature[crypto_sign_BYTES];
    return ReadHex(signatureHex, signature, sizeof signature) &&
           crypto_sign_ed25519ph_final_verify(&state_, signature, key.data()) == 0;
}

}  // namespace comm
