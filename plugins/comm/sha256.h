// SHA-256 of a byte stream through Windows CNG (bcrypt.dll).
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <string>

namespace comm {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when CNG could not make the hash, or a piece was refused.
    bool Good() const { return good_; }
    void Add(const char* bytes, size_t size);
    // The digest as 64 lowercase hex digits; empty when not Good(). Ends the hash.
    std::string Finish();

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    bool good_ = false;
};

}  // namespace comm
