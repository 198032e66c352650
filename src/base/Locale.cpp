#include "base/Locale.h"

#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace ws {

namespace {

// What one conversion of a C library format stands for in our patterns; nullptr drops it.
const char* PatternOfConversion(char conversion, char placeholder) {
    switch (conversion) {
    case 'd':
        return "dd";
    case 'e':
        return "d";
    case 'm':
        return "mm";
    case 'y':
        return "yy";
    case 'Y':
        return "yyyy";
    case 'b':
    case 'h':
        return "mmm";
    case 'B':
        return "mmmm";
    case 'a':
        return "ddd";
    case 'A':
        return "dddd";
    case 'H':
    case 'I':
        return "hh";
    case 'k':
    case 'l':
        return "h";
    case 'M':
        return "nn";
    case 'S':
        return "ss";
    case 'p':
    case 'P':
        return "ampm";
    case 'T':
        return placeholder == ':' ? "hh:nn:ss" : "hh':'nn':'ss";
    case 'R':
        return placeholder == ':' ? "hh:nn" : "hh':'nn";
    case 'r':
        return placeholder == ':' ? "hh:nn:ss ampm" : "hh':'nn':'ss ampm";
    case 'D':
        return placeholder == '/' ? "mm/dd/yy" : "mm'/'dd'/'yy";
    case 'F':
        return "yyyy'-'mm'-'dd";
    case 'n':
    case 't':
        return " ";
    default:
        return nullptr;
    }
}

bool IsSeparatorCandidate(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > ' ' && u < 0x80 &&
           !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && c != '\'' &&
           c != '"';
}

// Collects the literal text of a C format for our pattern: the separator becomes the placeholder,
// spaces stay, and everything else is quoted so that it can never read as a token.
class LiteralWriter {
public:
    LiteralWriter(std::string& out, char placeholder) : m_Out(out), m_Placeholder(placeholder) {}

    void Add(char c, char separator) {
        if (c == separator || c == ' ') {
            Flush();
            m_Out += c == ' ' ? ' ' : m_Placeholder;
            return;
        }
        m_Quoted += c;
    }

    void Flush() {
        if (m_Quoted.empty())
            return;
        const char quote = m_Quoted.find('"') == std::string::npos ? '"' : '\'';
        m_Out += quote + m_Quoted + quote;
        m_Quoted.clear();
    }

private:
    std::string& m_Out;
    char m_Placeholder;
    std::string m_Quoted;
};

bool IsCLocaleName(const char* name) {
    if (name == nullptr || *name == '\0')
        return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

// Whether the locale's category is the plain C one, which has no national conventions.
bool IsPlainCategory(locale_t loc, int category) {
#ifdef NL_LOCALE_NAME
    return IsCLocaleName(nl_langinfo_l(NL_LOCALE_NAME(category), loc));
#else
    (void)loc;
    (void)category;
    return false;
#endif
}

// Numeric items of nl_langinfo come back as the first byte of the result.
int NumericItem(nl_item item, locale_t loc) {
    return static_cast<signed char>(*nl_langinfo_l(item, loc));
}

int PositiveFormatCode(bool precedes, bool separated) {
    if (precedes)
        return separated ? 2 : 0;
    return separated ? 3 : 1;
}

int NegativeFormatCode(bool precedes, bool separated, int signPosition) {
    // Rows: sign position 0 (parentheses) to 4; columns: the four symbol placements.
    static const int table[5][4] = {
        // precedes, precedes+space, follows, follows+space
        {0, 14, 4, 15}, // parentheses around
        {1, 9, 5, 8},   // sign before quantity and symbol
        {3, 11, 7, 10}, // sign after both
        {1, 9, 6, 13},  // sign right before the symbol
        {2, 12, 7, 10}, // sign right after the symbol
    };
    if (signPosition < 0 || signPosition > 4)
        signPosition = 1;
    const int column = (precedes ? 0 : 2) + (separated ? 1 : 0);
    return table[signPosition][column];
}

void ReadTimeCategory(locale_t loc, TFormatSettings& s) {
    char separator = 0;
    std::string pattern = PatternFromCFormat(nl_langinfo_l(D_FMT, loc), '/', separator);
    if (!pattern.empty()) {
        s.ShortDateFormat = pattern;
        if (separator != 0)
            s.DateSeparator = separator;
    }
    separator = 0;
    pattern = PatternFromCFormat(nl_langinfo_l(T_FMT, loc), ':', separator);
    if (!pattern.empty()) {
        s.LongTimeFormat = pattern;
        if (separator != 0)
            s.TimeSeparator = separator;
    }
    const char* am = nl_langinfo_l(AM_STR, loc);
    const char* pm = nl_langinfo_l(PM_STR, loc);
    if (*am != '\0' && *pm != '\0') {
        s.AmSymbol = am;
        s.PmSymbol = pm;
    }
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[static_cast<size_t>(i)] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc);
        s.LongMonthNames[static_cast<size_t>(i)] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc);
    }
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[static_cast<size_t>(i)] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc);
        s.LongDayNames[static_cast<size_t>(i)] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), loc);
    }
}

void ReadNumericCategory(locale_t loc, TFormatSettings& s) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    // A separator of several bytes cannot serve the number scanners; keep ours then.
    if (std::strlen(radix) == 1)
        s.DecimalSeparator = radix[0];
    s.ThousandSeparator = nl_langinfo_l(THOUSEP, loc);
    if (s.ThousandSeparator.size() == 1 && s.ThousandSeparator[0] == s.DecimalSeparator)
        s.ThousandSeparator.clear();
}

void ReadMonetaryCategory(locale_t loc, TFormatSettings& s) {
    s.CurrencySymbol = nl_langinfo_l(CURRENCY_SYMBOL, loc);
    const int digits = NumericItem(FRAC_DIGITS, loc);
    s.CurrencyDecimals = digits >= 0 && digits <= 9 ? digits : 2;
    s.CurrencyFormat =
        PositiveFormatCode(NumericItem(P_CS_PRECEDES, loc) == 1, NumericItem(P_SEP_BY_SPACE, loc) == 1);
    s.NegativeCurrencyFormat =
        NegativeFormatCode(NumericItem(N_CS_PRECEDES, loc) == 1, NumericItem(N_SEP_BY_SPACE, loc) == 1,
                           NumericItem(N_SIGN_POSN, loc));
}

TFormatSettings& ProcessSettings() {
    static TFormatSettings settings = LocaleFormatSettings("");
    return settings;
}

const TFormatSettings* g_Override = nullptr;

} // namespace

TFormatSettings DefaultFormatSettings() {
    return TFormatSettings{};
}

std::string PatternFromCFormat(std::string_view cFormat, char placeholder, char& separator) {
    std::string out;
    LiteralWriter literal(out, placeholder);
    separator = 0;
    for (size_t i = 0; i < cFormat.size(); ++i) {
        const char c = cFormat[i];
        if (c != '%') {
            if (separator == 0 && IsSeparatorCandidate(c))
                separator = c;
            literal.Add(c, separator);
            continue;
        }
        literal.Flush();
        if (++i >= cFormat.size())
            break;
        // Flags, widths and the E and O modifiers change nothing we can show.
        while (i < cFormat.size() && std::strchr("_-0^#EO123456789", cFormat[i]) != nullptr)
            ++i;
        if (i >= cFormat.size())
            break;
        if (cFormat[i] == '%') {
            out += "'%'";
        } else if (const char* token = PatternOfConversion(cFormat[i], placeholder)) {
            out += token;
        }
    }
    literal.Flush();
    return out;
}

TFormatSettings LocaleFormatSettings(const char* localeName) {
    TFormatSettings s = DefaultFormatSettings();
    if (localeName == nullptr)
        return s;
    locale_t loc = newlocale(LC_ALL_MASK, localeName, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        return s;
    if (!IsPlainCategory(loc, LC_TIME))
        ReadTimeCategory(loc, s);
    if (!IsPlainCategory(loc, LC_NUMERIC))
        ReadNumericCategory(loc, s);
    if (!IsPlainCategory(loc, LC_MONETARY))
        ReadMonetaryCategory(loc, s);
    freelocale(loc);
    return s;
}

const TFormatSettings& FormatSettings() {
    return g_Override != nullptr ? *g_Override : ProcessSettings();
}

TScopedFormatSettings::TScopedFormatSettings(const TFormatSettings& settings)
    : m_Settings(settings), m_Previous(g_Override) {
    g_Override = &m_Settings;
}

TScopedFormatSettings::~TScopedFormatSettings() {
    g_Override = m_Previous;
}

} // namespace ws
