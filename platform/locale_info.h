// The user's and the system's locales as Windows language ids and their
// three-letter abbreviations (ENU, JPN, DEU, ZHH, ...), from one table. The
// program picks its language file by these abbreviations, and the id's
// primary language and sublanguage drive the fallbacks between them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kvx {

struct LocaleRow {
    const char* language;   // ISO 639 code of the POSIX locale name
    const char* territory;  // ISO 3166 code; "" for ids no locale name selects directly
    uint16_t langId;        // primary language in the low 10 bits, sublanguage above
    const char* abbrev;     // Windows' abbreviated language name
};

// The four places a language comes from, in the order the program tries them.
struct LocaleSources {
    std::string userInterface;    // $LANGUAGE (first entry), $LC_ALL, $LC_MESSAGES, $LANG
    std::string systemInterface;  // LANG of the system locale file
    std::string userFormats;      // $LC_ALL, $LC_TIME, $LANG
    std::string systemFormats;    // LC_TIME of the system locale file, else its LANG
};

class LocaleInfo {
public:
    static constexpr uint16_t kEnglishUs = 0x0409;

    static std::span<const LocaleRow> Table();

    // "de_DE.UTF-8@euro" -> 0x0407. A known language with a territory the
    // table lacks (or none) gives its primary id with sublanguage 0, so the
    // default-sublanguage fallback still finds it. "C", "POSIX", "" and
    // unknown languages give 0.
    static uint16_t LangIdOfLocale(const std::string& localeName);
    // The abbreviation of an id, "" when the table has none.
    static std::string AbbrevOfLangId(uint16_t langId);

    // From the environment and the system locale file.
    static LocaleSources SystemSources();
    // The LANG= or LC_TIME= value of a locale file's text ("" when absent).
    static std::string ValueOfLocaleFile(const std::string& text, const std::string& key);

    static uint16_t Primary(uint16_t langId) { return langId & 0x3FF; }
    static uint16_t Sub(uint16_t langId) { return langId >> 10; }
    static uint16_t Make(uint16_t primary, uint16_t sub) {
        return static_cast<uint16_t>((sub << 10) | (primary & 0x3FF));
    }
};

}  // namespace kvx
