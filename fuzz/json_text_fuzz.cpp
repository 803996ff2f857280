// JSON text from outside the program: parsed or refused with a reason, never
// read past its end and never recursing deeper than the bound allows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "JsonText.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rapidjson::Document document;
    std::string error;
    const bool parsed = json_text::Parse(document, {reinterpret_cast<const char*>(data), size}, error);
    fuzz::Require(parsed || !error.empty());
    return 0;
}
