// Colour texts come from a settings table any program may write: whatever they hold, the
// conversion either gives a colour or raises the conversion error.
#include "app/ColorText.h"
#include "base/Exception.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        ws::ColourFromText(text);
    } catch (const ws::EConvertError&) {
    }
    return 0;
}
