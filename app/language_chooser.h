// Chooses the user-interface language at start-up. Candidate language ids
// are tried in a fixed order (user interface, system interface, user
// formats, system formats, the executable's own language); each one also
// with its sublanguage cleared and with the default sublanguage. A language
// other than the executable's own is used only when the file
// "<executable>_<ABR>.rcc" exists and its string table holds string 103;
// once such a file has been rejected, no other file is tried.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/language_file.h"

namespace kvx::app {

class LanguageChooser {
public:
    // The string every language file must carry: the program's name.
    static constexpr uint32_t kCheckString = 103;

    LanguageChooser(uint16_t executableLanguage, std::string executablePath,
                    LanguageFileOpener opener);

    // The four system candidates, in order; 0 where a source has none.
    // Logs each candidate and ends with the executable's own language, which
    // always succeeds. Replaces the program's string table texts when a
    // language file is accepted.
    void Choose(const std::array<uint16_t, 4>& systemCandidates);

    // One candidate with its sublanguage fallbacks.
    bool TryCandidate(uint16_t langId);
    // One id, exactly.
    bool TryLanguage(uint16_t langId);

    // "" while the executable's own texts are in use.
    const std::string& Abbrev() const { return abbrev_; }
    // The accepted file, or null.
    const LanguageFile* Active() const { return abbrev_.empty() ? nullptr : loaded_.get(); }
    bool Rejected() const { return rejected_; }
    uint16_t CurrentLanguage() const { return current_; }

    // "ZHH" and "ZHM" -> "CHT", "ZHI" -> "CHS", others unchanged.
    static std::string FoldChineseRegion(const std::string& abbrev);
    // "<executable>_<ABR>.rcc".
    static std::string FilePathFor(const std::string& executablePath, const std::string& abbrev);

private:
    void UseOwnResources();

    uint16_t executableLanguage_;
    std::string executablePath_;
    LanguageFileOpener opener_;
    uint16_t current_ = 0;
    std::unique_ptr<LanguageFile> loaded_;
    bool rejected_ = false;
    std::string abbrev_;
};

}  // namespace kvx::app
