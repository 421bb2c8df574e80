#include "app/language_chooser.h"

#include "log/write_log.h"
#include "model/string_table.h"
#include "platform/locale_info.h"

namespace kvx::app {

LanguageChooser::LanguageChooser(uint16_t executableLanguage, std::string executablePath,
                                 LanguageFileOpener opener)
    : executableLanguage_(executableLanguage),
      executablePath_(std::move(executablePath)),
      opener_(std::move(opener)) {}

std::string LanguageChooser::FoldChineseRegion(const std::string& abbrev) {
    if (abbrev == "ZHH" || abbrev == "ZHM") return "CHT";
    if (abbrev == "ZHI") return "CHS";
    return abbrev;
}

std::string LanguageChooser::FilePathFor(const std::string& executablePath,
                                         const std::string& abbrev) {
    return executablePath + "_" + abbrev + ".rcc";
}

void LanguageChooser::Choose(const std::array<uint16_t, 4>& system) {
    static constexpr const char* kLines[] = {
        "--- m_nCurrentLanguage = 0x%x GetUserUILanguage()",
        "--- m_nCurrentLanguage = 0x%x GetSystemUILanguage()",
        "--- m_nCurrentLanguage = 0x%x GetUserDefaultLangID()",
        "--- m_nCurrentLanguage = 0x%x GetSystemDefaultLangID()",
    };
    for (size_t i = 0; i < system.size(); ++i) {
        current_ = system[i];
        WriteLog(4, kLines[i], static_cast<unsigned>(current_));
        if (TryCandidate(current_)) return;
    }
    current_ = executableLanguage_;
    WriteLog(4, "--- m_nCurrentLanguage = 0x%x Use exe resource", static_cast<unsigned>(current_));
    if (!TryCandidate(current_)) UseOwnResources();  // no version language: still our own texts
}

bool LanguageChooser::TryCandidate(uint16_t id) {
    if (id == 0) return false;
    if (TryLanguage(id)) return true;
    const uint16_t primary = LocaleInfo::Primary(id);
    const uint16_t sub = LocaleInfo::Sub(id);
    if (sub != 0 && TryLanguage(LocaleInfo::Make(primary, 0))) return true;
    if (sub != 1 && TryLanguage(LocaleInfo::Make(primary, 1))) return true;
    return false;
}

void LanguageChooser::UseOwnResources() {
    loaded_.reset();
    abbrev_.clear();
    VARNO::RestoreBuiltInStrings();
}

bool LanguageChooser::TryLanguage(uint16_t id) {
    if (id == executableLanguage_) {
        UseOwnResources();
        return true;
    }
    std::string abbrev = LocaleInfo::AbbrevOfLangId(id);
    if (abbrev.empty()) {
        WriteLog(1, "Attempt to load DLL for unsupported language. Language = %u",
                 static_cast<unsigned>(id));
        return false;
    }
    WriteLog(4, "--- m_nCurrentLanguage=0x%x, szAbbrevName=%s", static_cast<unsigned>(id),
             abbrev.c_str());
    abbrev = FoldChineseRegion(abbrev);
    const std::string path = FilePathFor(executablePath_, abbrev);
    if (rejected_) return false;
    std::unique_ptr<LanguageFile> file = opener_ ? opener_(path) : nullptr;
    if (!file) return false;
    WriteLog(4, "Resource DLL %s loaded successfully", path.c_str());
    loaded_ = std::move(file);  // the previous file goes
    if (!loaded_->HasString(kCheckString)) {
        rejected_ = true;
        // Nothing of a rejected file is used, so it is not kept open either.
        loaded_.reset();
        WriteLog(3, "%s is not correct Resource DLL, then use default language", path.c_str());
        return false;
    }
    VARNO::ReplaceStrings(loaded_->Strings());
    abbrev_ = abbrev;
    return true;
}

}  // namespace kvx::app
