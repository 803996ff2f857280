// A .mo catalog's bytes, damaged any way: refused with a reason, or read
// without touching a byte outside the buffer.
#include <cstddef>
#include <cstdint>

#include "MessageCatalog.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MessageCatalogParse parse = ParseMessageCatalog({data, size});
    fuzz::Require(parse.ok == parse.error.empty());
    return 0;
}
