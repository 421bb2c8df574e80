// Access to the program's generated pictures, embedded as Qt resources.
//
// Every picture is named by its number: ":/res/<number>.png" (130..134 and
// 188..196 the value selector's parts, 149 the main window background, 148,
// 153 and 154 the new folder, preferences and folder picker backgrounds,
// 150, 152, 262 and 1303 the custom white balance, date, ISO function and
// special capture settings backgrounds,
// 155..173 its buttons, 235..246 the focus-frame selector, 247..251 the
// white-balance adjust grid, 174..179 check boxes and radio
// buttons, 217..220 text buttons, 268..272 the live view button, 350..379
// the readout glyph strips, 2100..2103 slider thumbs, 2104..2119 step
// buttons, 2120/2121 slider channels, 2122/2123 panel headers). The program
// icon is 128 at 256 pixels, with hand-drawn small sizes "128_48", "128_32"
// and "128_16".
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace kvx::res {

// Registers the embedded pictures with Qt's resource system. Safe to call
// more than once; the loaders below call it themselves.
void InitResources();

// ":/res/<number>.png"
QString ResourcePath(int number);

// The picture, or a null image when there is no picture of that number.
QImage LoadPicture(int number);

// The program icon with all its sizes, for the windows' title bars.
QIcon ProgramIcon();

}  // namespace kvx::res
