// Feeds a picture and a value (split at the first line break) to the picture-mask validator, and
// the value to the number and date readers. Nothing may crash, hang or read out of bounds; the
// validator's answers must agree with each other.

#include "base/Convert.h"
#include "data/PictureValidator.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool IsAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\n');
    const std::string_view picture = input.substr(0, cut);
    const std::string_view value = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

    const ws::TwsPictureValidator validator{std::string(picture)};
    const ws::TPictureMatch match = validator.Check(value);
    const bool valid = validator.IsValid(value);
    Require(validator.IsValid(""));
    if (!validator.SyntaxCheck()) {
        Require(match.Result == ws::mrSyntax);
        Require(valid == value.empty());
    } else if (value.empty()) {
        Require(match.Result == ws::mrEmpty && valid);
    } else {
        Require(valid == (match.Result == ws::mrComplete || match.Result == ws::mrAmbiguous));
        // Conversions and literals replace characters one for one.
        if (IsAscii(value) && IsAscii(picture))
            Require(match.Text.size() == value.size());
    }

    const ws::TFormatSettings settings = ws::DefaultFormatSettings();
    std::int32_t i = 0;
    if (ws::TryStrToInt(value, i))
        Require(ws::StrToInt(ws::IntToStr(i)) == i);
    double d = 0;
    if (ws::TryStrToFloat(value, d, settings))
        (void)ws::FormatCurrency(d, settings);
    ws::TDateTime t = 0;
    if (ws::TryStrToDateTime(value, t, settings))
        (void)ws::DateTimeToStr(t, settings);
    (void)ws::FormatDateTime(picture, 46000.5, settings);
    return 0;
}
