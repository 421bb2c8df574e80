#include "platform/locale_info.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kvx {

namespace {

// Ids and abbreviations as Windows reports them. Several Chinese regions
// have abbreviations of their own (ZHH, ZHM, ZHI) that the language chooser
// folds into CHT and CHS.
constexpr LocaleRow kRows[] = {
    {"en", "US", 0x0409, "ENU"}, {"en", "GB", 0x0809, "ENG"}, {"en", "AU", 0x0C09, "ENA"},
    {"en", "CA", 0x1009, "ENC"}, {"en", "NZ", 0x1409, "ENZ"}, {"en", "IE", 0x1809, "ENI"},
    {"ja", "JP", 0x0411, "JPN"}, {"de", "DE", 0x0407, "DEU"}, {"de", "CH", 0x0807, "DES"},
    {"de", "AT", 0x0C07, "DEA"}, {"de", "LU", 0x1007, "DEL"}, {"fr", "FR", 0x040C, "FRA"},
    {"fr", "BE", 0x080C, "FRB"}, {"fr", "CA", 0x0C0C, "FRC"}, {"fr", "CH", 0x100C, "FRS"},
    {"it", "IT", 0x0410, "ITA"}, {"it", "CH", 0x0810, "ITS"}, {"es", "", 0x040A, "ESP"},
    {"es", "MX", 0x080A, "ESM"}, {"es", "ES", 0x0C0A, "ESN"}, {"zh", "TW", 0x0404, "CHT"},
    {"zh", "CN", 0x0804, "CHS"}, {"zh", "HK", 0x0C04, "ZHH"}, {"zh", "SG", 0x1004, "ZHI"},
    {"zh", "MO", 0x1404, "ZHM"}, {"ko", "KR", 0x0412, "KOR"}, {"nl", "NL", 0x0413, "NLD"},
    {"nl", "BE", 0x0813, "NLB"}, {"pt", "BR", 0x0416, "PTB"}, {"pt", "PT", 0x0816, "PTG"},
    {"ru", "RU", 0x0419, "RUS"}, {"sv", "SE", 0x041D, "SVE"}, {"da", "DK", 0x0406, "DAN"},
    {"fi", "FI", 0x040B, "FIN"}, {"nb", "NO", 0x0414, "NOR"}, {"no", "NO", 0x0414, "NOR"},
    {"pl", "PL", 0x0415, "PLK"}, {"cs", "CZ", 0x0405, "CSY"}, {"hu", "HU", 0x040E, "HUN"},
    {"tr", "TR", 0x041F, "TRK"}, {"el", "GR", 0x0408, "ELL"}, {"uk", "UA", 0x0422, "UKR"},
};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string FirstOf(std::initializer_list<std::string> values) {
    for (const std::string& v : values)
        if (!v.empty()) return v;
    return {};
}

std::string ReadSmallFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(64 * 1024, '\0');  // a locale file is a few lines
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

}  // namespace

std::span<const LocaleRow> LocaleInfo::Table() {
    return kRows;
}

uint16_t LocaleInfo::LangIdOfLocale(const std::string& name) {
    std::string base = name.substr(0, name.find_first_of(".@"));
    std::string language = base.substr(0, base.find('_'));
    std::string territory =
        base.find('_') == std::string::npos ? "" : base.substr(base.find('_') + 1);
    for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : territory) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (language.empty() || language == "c" || language == "posix") return 0;
    uint16_t primary = 0;
    for (const LocaleRow& row : kRows) {
        if (language != row.language) continue;
        if (!territory.empty() && territory == row.territory) return row.langId;
        primary = Primary(row.langId);
    }
    return primary;  // sublanguage 0, or 0 for an unknown language
}

std::string LocaleInfo::AbbrevOfLangId(uint16_t langId) {
    for (const LocaleRow& row : kRows)
        if (row.langId == langId) return row.abbrev;
    return {};
}

std::string LocaleInfo::ValueOfLocaleFile(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    std::string value;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size() + 1, key + "=") != 0)
            continue;
        value = line.substr(start + key.size() + 1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.pop_back();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
    }
    return value;  // the last assignment wins, as when the shell sources it
}

LocaleSources LocaleInfo::SystemSources() {
    LocaleSources s;
    std::string language = Env("LANGUAGE");
    language = language.substr(0, language.find(':'));
    s.userInterface = FirstOf({language, Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")});
    s.userFormats = FirstOf({Env("LC_ALL"), Env("LC_TIME"), Env("LANG")});
    std::string file = ReadSmallFile("/etc/locale.conf");
    if (file.empty()) file = ReadSmallFile("/etc/default/locale");
    s.systemInterface = ValueOfLocaleFile(file, "LANG");
    s.systemFormats = FirstOf({ValueOfLocaleFile(file, "LC_TIME"), s.systemInterface});
    return s;
}

}  // namespace kvx
