#include "app/ColorBands.h"

#include "base/Strings.h"
#include "data/Field.h"
#include "jobs/JobsDM.h"

namespace ws {

TBandColors BandColours;

int LoadColourBands() {
    TwsTable* options = JobsDM->OptionsTable();
    int count = 0;
    for (int k = 1; k <= 5; ++k) {
        if (!options->Locate("OptionName", "Band " + std::to_string(k)))
            continue;
        BandColours[static_cast<std::size_t>(k - 1)] = options->FieldNamed("OptionValue")->AsString();
        ++count;
    }
    return count;
}

std::string BandWarningText(int count) {
    static constexpr std::string_view kCounts[] = {
        "No Colours have been configured yet",    "One Colour has been configured ",
        "Only two colours have been configured",  "Only three colours have been configured",
        "Only four colours have been configured",
    };
    const std::string_view first = count >= 0 && count < 5 ? kCounts[count] : std::string_view();
    return std::string(first) +
           "\nPlease use the Custom Color utility\n in the program to correct this error";
}

} // namespace ws
