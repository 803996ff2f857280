// Signed update feeds for tests, made with libsodium as scripts/publish-update
// makes them: the test suite's own key (made in the build folder, trusted only
// by the test build of the Comm module) or keys made on the spot.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sodium.h>

#include <array>
#include <cstdio>
#include <string>

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

// The key file that publish-update --new-key wrote: {"secret": "<seed hex>", ...}.
inline Key LoadKey(const wchar_t* path) {
    [[maybe_unused]] const int ready = sodium_init();  // a cast would not quiet GCC
    std::string text;
    if (FILE* file = _wfopen(path, L"rb")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        fclose(file);
    }
    rapidjson::Document document;
    document.Parse(text.c_str());
    Key key;
    unsigned char seed[crypto_sign_SEEDBYTES] = {};
    if (document.IsObject() && document.HasMember("secret") && document["secret"].IsString())
        sodium_hex2bin(seed, sizeof seed, document["secret"].GetString(), document["secret"].GetStringLength(), nullptr,
                       nullptr, nullptr);
    crypto_sign_seed_keypair(key.publicKey.data(), key.secret.data(), seed);
    return key;
}

inline std::string PublicHex(const Key& key) { return Hex(key.publicKey.data(), key.publicKey.size()); }

// Ed25519 of a text: the feed's signature.
inline std::string SignText(const Key& key, const std::string& text) {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                         key.secret.data());
    return Hex(signature, sizeof signature);
}

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

// A feed file: text in an envelope that names named's key and carries
// signer's signature of signedText (by default the text itself).
inline std::string Envelope(const std::string& text, const Key& named, const Key& signer,
                            const std::string* signedText = nullptr) {
    return "{\"key\": \"" + PublicHex(named) + "\", \"signature\": \"" +
           SignText(signer, signedText ? *signedText : text) + "\", \"text\": " + JsonString(text) + "}";
}

inline std::string Envelope(const std::string& text, const Key& key) { return Envelope(text, key, key); }

}  // namespace test_signing
