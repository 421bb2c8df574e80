// kvx-resgen OUTDIR: draws every picture of the program into OUTDIR as
// <name>.png and writes OUTDIR/kvx_resources.qrc listing them under /res.
#include <QDir>
#include <QSaveFile>
#include <cstdio>

#include "pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-resgen OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "kvx-resgen: cannot create %s\n", argv[1]);
        return 1;
    }
    std::vector<kvx::gen::Picture> all;
    for (auto make :
         {kvx::gen::MakeBackground, kvx::gen::MakeButtons, kvx::gen::MakeGlyphStrips,
          kvx::gen::MakeSelectorParts, kvx::gen::MakeIcons, kvx::gen::MakeFocusAreaPictures,
          kvx::gen::MakeWbGridPictures, kvx::gen::MakeLiveView, kvx::gen::MakeDialogBackgrounds,
          kvx::gen::MakeSpecialDialogBackgrounds})
        for (auto& pic : make()) all.push_back(std::move(pic));

    QString qrc = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/res\">\n";
    for (const auto& pic : all) {
        const QString file = pic.name + ".png";
        QSaveFile png(dir.filePath(file));
        if (!png.open(QIODevice::WriteOnly) || !pic.image.save(&png, "PNG") || !png.commit()) {
            std::fprintf(stderr, "kvx-resgen: cannot write %s\n", qPrintable(dir.filePath(file)));
            return 1;
        }
        qrc += "  <file>" + file + "</file>\n";
    }
    qrc += "</qresource>\n</RCC>\n";
    // Written last: its presence tells the build that every picture is there.
    QSaveFile out(dir.filePath("kvx_resources.qrc"));
    if (!out.open(QIODevice::WriteOnly) || out.write(qrc.toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "kvx-resgen: cannot write the resource list\n");
        return 1;
    }
    return 0;
}
