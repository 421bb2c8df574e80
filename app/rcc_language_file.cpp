#include "app/rcc_language_file.h"

#include <QFile>
#include <QFileInfo>
#include <QResource>

#include "app/string_table_text.h"

namespace kvx::app {

RccLanguageFile::RccLanguageFile(QString path, QString mapRoot)
    : path_(std::move(path)), mapRoot_(std::move(mapRoot)) {}

RccLanguageFile::~RccLanguageFile() {
    QResource::unregisterResource(path_, mapRoot_);
}

std::unique_ptr<LanguageFile> RccLanguageFile::Open(const std::string& path) {
    const QString file = QString::fromStdString(path);
    // A FIFO or a device under the file's name would block or feed us
    // endless bytes; only plain files are language files.
    const QFileInfo info(file);
    if (!info.exists() || !info.isFile()) return nullptr;
    // Each open file gets a root of its own: the chooser opens the next file
    // before it lets go of the previous one.
    static int serial = 0;
    const QString root = QString("/kvx-language/%1").arg(++serial);
    if (!QResource::registerResource(file, root)) return nullptr;
    std::unique_ptr<RccLanguageFile> lang(new RccLanguageFile(file, root));
    QFile strings(":" + root + "/strings.txt");
    if (strings.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = strings.read(kMaxStringsBytes);
        lang->strings_ = StringTableText::Parse(std::string_view(bytes.constData(), bytes.size()));
    }
    return lang;
}

}  // namespace kvx::app
