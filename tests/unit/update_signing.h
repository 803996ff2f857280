// Signed update feeds for tests, made with libsodium as scripts/publish-update
// makes them: the test suite's own key (made in the build folder, trusted only
// by the test build of the Comm module) or keys made on the spot.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sodium.h>

#include <array>
#include <string>

#include "test_files.h"

namespace test_signing {

struct Key {
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret{};
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
};

inline std::string Hex(const unsigned char* bytes, size_t size) {
    std::string hex(size * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes, size);
    hex.pop_back();
    return hex;
}

inline Key NewKey() {
    [[maybe_unused]] const int ready = sodium_init();  // a cast would not quiet GCC
    Key key;
    crypto_sign_keypair(key.publicKey.data(), key.secret.data());
    return key;
}

// The key file that publish-update --new-key wrote: {..., "secret": "<seed hex>", ...}.
inline Key LoadKey(const wchar_t* path) {
    [[maybe_unused]] const int ready = sodium_init();  // a cast would not quiet GCC
    const std::string text = ReadTextFile(path);
    const size_t secret = text.find("\"secret\": \"");
    unsigned char seed[crypto_sign_SEEDBYTES] = {};
    if (secret != std::string::npos)
        sodium_hex2bin(seed, sizeof seed, text.c_str() + secret + 11, 2 * sizeof seed, nullptr, nullptr, nullptr);
    Key key;
    crypto_sign_seed_keypair(key.publicKey.data(), key.secret.data(), seed);
    return key;
}

inline std::string PublicHex(const Key& key) { return Hex(key.publicKey.data(), key.publicKey.size()); }

// Ed25519ph of bytes: an installer's signature.
inline std::string SignInstaller(const Key& key, const std::string& bytes) {
    crypto_sign_ed25519ph_state state;
    crypto_sign_ed25519ph_init(&state);
    crypto_sign_ed25519ph_update(&state, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_ed25519ph_final_create(&state, signature, nullptr, key.secret.data());
    return Hex(signature, sizeof signature);
}

inline std::string JsonString(const std::string& text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
    return buffer.GetString();
}

// A feed file: text in an envelope that names key and carries its Ed25519
// signature of signedText (by default the text itself).
inline std::string Envelope(const std::string& text, const Key& key, const std::string* signedText = nullptr) {
    const std::string& signedBytes = signedText ? *signedText : text;
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(signedBytes.data()),
                         signedBytes.size(), key.secret.data());
    return "{\"key\": \"" + PublicHex(key) + "\", \"signature\": \"" + Hex(signature, sizeof signature) +
           "\", \"text\": " + JsonString(text) + "}";
}

}  // namespace test_signing
