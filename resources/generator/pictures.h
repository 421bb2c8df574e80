// The picture makers. Each returns numbered pictures; main() writes them.
#pragma once

#include <QImage>
#include <vector>

namespace kvx::gen {

struct Picture {
    QString name;  // file name without ".png": the picture number, or number_size for icons
    QImage image;
};

std::vector<Picture> MakeGlyphStrips();               // 350..379
std::vector<Picture> MakeButtons();                   // 155..179, 217..220, 268..272, 2100..2123
std::vector<Picture> MakeSelectorParts();             // 130..134, 188..196
std::vector<Picture> MakeBackground();                // 149
std::vector<Picture> MakeIcons();                     // 128 (program icon) in several sizes
std::vector<Picture> MakeFocusAreaPictures();         // 235..246
std::vector<Picture> MakeWbGridPictures();            // 247..251
std::vector<Picture> MakeLiveView();                  // 1406..1456, 1460..1463, 1480, 1481
std::vector<Picture> MakeDialogBackgrounds();         // 148, 153, 154
std::vector<Picture> MakeSpecialDialogBackgrounds();  // 150, 152, 262, 1303

}  // namespace kvx::gen
