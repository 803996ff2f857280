#include "sha256.h"

namespace comm {

namespace {
constexpr ULONG kDigestBytes = 32;
bool Succeeded(NTSTATUS status) { return status >= 0; }
}  // namespace

Sha256::Sha256() {
    good_ = Succeeded(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
            Succeeded(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() {
    if (hash_) BCryptDestroyHash(hash_);
    if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::Add(const char* bytes, size_t size) {
    if (!good_ || size == 0) return;
    // CNG takes a non-const buffer but only reads it.
    good_ = Succeeded(
        BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes)), static_cast<ULONG>(size), 0));
}

std::string Sha256::Finish() {
    UCHAR digest[kDigestBytes];
    if (!good_ || !Succeeded(BCryptFinishHash(hash_, digest, kDigestBytes, 0))) return "";
    good_ = false;  // a finished CNG hash takes no more data
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (UCHAR byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

}  // namespace comm
