// The GNU message catalog format (.mo): a pure parser from the file's bytes
// to its original/translated text pairs, with every offset bounds-checked so
// that a truncated or damaged file is refused instead of read past its end.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

struct MessageCatalogParse {
    bool ok = false;
    std::string error;  // why the catalog was refused; empty when ok
    // English source text -> translation, both UTF-8. Only the singular
    // form of a plural entry is kept; the header entry and entries without
    // a translation are left out.
    std::map<std::string, std::string> entries;
};

// Reads a catalog in either byte order. Refuses a bad magic number, an
// unknown major revision, tables or strings that lie outside the buffer and
// a header that declares a character set other than UTF-8.
MessageCatalogParse ParseMessageCatalog(std::span<const uint8_t> bytes);
