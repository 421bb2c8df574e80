// A language file: a Qt binary resource file "Varno_Kolvex_<ABR>.rcc" beside
// the executable. Its string table is the resource "strings.txt" (the text
// form of app/string_table_text.h); it may carry pictures and other
// resources too, which stay reachable under Root() while the file is open.
#pragma once

#include <QString>
#include <memory>

#include "app/language_file.h"

namespace kvx::app {

class RccLanguageFile final : public LanguageFile {
public:
    // Longest string table read; the file is local, but never trusted blindly.
    static constexpr qint64 kMaxStringsBytes = 4 * 1024 * 1024;

    // Null when path is not a regular file or not a resource file.
    static std::unique_ptr<LanguageFile> Open(const std::string& path);
    ~RccLanguageFile() override;
    RccLanguageFile(const RccLanguageFile&) = delete;
    RccLanguageFile& operator=(const RccLanguageFile&) = delete;

    const std::vector<std::pair<uint32_t, std::string>>& Strings() const override {
        return strings_;
    }
    // The resource root the file is mapped to, e.g. ":/kvx-language/1".
    QString Root() const { return ":" + mapRoot_; }

private:
    RccLanguageFile(QString path, QString mapRoot);

    QString path_;
    QString mapRoot_;
    std::vector<std::pair<uint32_t, std::string>> strings_;
};

}  // namespace kvx::app
