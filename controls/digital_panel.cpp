#include "digital_panel.h"

#include <QPainter>

#include "glyph_strips.h"
#include "resource_images.h"

namespace {

struct CellSpec {
    int cell, strip, x, y, glyph;
};

struct ReadoutLayout {
    int width, height;
    std::initializer_list<CellSpec> cells;
};

// The six readouts of the main window's status column, top to bottom.
const ReadoutLayout kLayouts[CDigitalPanel::kReadoutCount] = {
    {114,
     86,
     {{0, 8, 6, 7, 0},
      {1, 9, 13, 7, 35},
      {2, 9, 26, 7, 35},
      {3, 9, 39, 7, 35},
      {4, 9, 52, 7, 35},
      {5, 8, 65, 7, 0},
      {6, 2, 4, 33, 35},
      {7, 2, 20, 33, 35},
      {8, 2, 36, 33, 35},
      {9, 2, 52, 33, 35},
      {10, 2, 76, 33, 35},
      {11, 3, 92, 33, 1},
      {12, 2, 95, 33, 35},
      {13, 5, 72, 63, 0},
      {14, 12, 23, 63, 0},
      {15, 13, 36, 66, 0},
      {16, 13, 36, 74, 0}}},
    {114,
     32,
     {{0, 26, 6, 8, 0},
      {1, 6, 63, 8, 0},
      {2, 9, 80, 8, 35},
      {3, 14, 93, 8, 1},
      {4, 9, 96, 8, 35},
      {5, 15, 5, 0, 1}}},
    {114,
     36,
     {{0, 7, 7, 6, 0},
      {1, 9, 43, 13, 35},
      {2, 9, 56, 13, 35},
      {3, 9, 69, 13, 35},
      {4, 9, 82, 13, 35},
      {5, 9, 95, 13, 35},
      {6, 15, 5, 0, 1}}},
    {114, 28, {{0, 1, 8, 8, 4}, {1, 1, 48, 8, 4}, {2, 1, 88, 8, 4}, {3, 15, 5, 0, 1}}},
    {114,
     45,
     {{0, 0, 8, 8, 4},
      {1, 0, 39, 8, 4},
      {2, 0, 67, 8, 4},
      {3, 0, 98, 8, 4},
      {4, 18, 11, 27, 0},
      {5, 19, 22, 27, 0},
      {6, 18, 39, 27, 0},
      {7, 20, 50, 27, 0},
      {8, 18, 69, 27, 0},
      {9, 20, 80, 27, 0},
      {10, 15, 5, 0, 1}}},
    {114, 70, {{0, 23, 5, 6, 0},      {1, 24, 20, 6, 0},    {2, 22, 12, 18, 0},
               {3, 25, 5, 43, 0},     {4, 26, 36, 20, 0},   {5, 26, 58, 4, 0},
               {6, 26, 83, 4, 0},     {7, 17, 107, 4, 0},   {8, 21, 77, 26, 0},
               {9, 10, 60, 39, 10},   {10, 10, 71, 39, 10}, {11, 10, 88, 39, 10},
               {12, 10, 99, 39, 10},  {13, 16, 82, 39, 0},  {14, 28, 20, 56, 0},
               {15, 11, 72, 56, 10},  {16, 11, 80, 56, 10}, {17, 11, 94, 56, 10},
               {18, 11, 102, 56, 10}, {19, 29, 88, 56, 0},  {20, 27, 72, 56, 0}}},
};

bool ValidCell(int cell) {
    return cell >= 0 && cell < CDigitalPanel::kCellCount;
}

}  // namespace

CDigitalPanel::CDigitalPanel(QWidget* parent) : QWidget(parent) {
    // Cells are drawn over whatever lies beneath; nothing is erased.
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAutoFillBackground(false);
}

bool CDigitalPanel::LoadStrips() {
    for (int s = 0; s < kvx::res::kStripCount; ++s) {
        strips_[s] = kvx::res::LoadPicture(kvx::res::kGlyphStrips[s].picture);
        if (strips_[s].isNull()) return false;
    }
    return true;
}

QSize CDigitalPanel::ReadoutSize(int readout) {
    if (readout < 1 || readout > kReadoutCount) return {};
    return {kLayouts[readout - 1].width, kLayouts[readout - 1].height};
}

bool CDigitalPanel::LayOut(int readout) {
    if (readout < 1 || readout > kReadoutCount) return false;
    const ReadoutLayout& layout = kLayouts[readout - 1];
    cells_.fill(CDigitalChar{});
    for (const CellSpec& c : layout.cells) SetCell(c.cell, c.strip, c.x, c.y, c.glyph);
    size_hint_ = QSize(layout.width, layout.height);
    resize(size_hint_);
    return true;
}

void CDigitalPanel::SetCell(int cell, int strip, int x, int y, int glyph) {
    if (!ValidCell(cell) || strip < 0 || strip >= kvx::res::kStripCount) return;
    const kvx::res::GlyphStrip& s = kvx::res::kGlyphStrips[strip];
    CDigitalChar& c = cells_[cell];
    c.visible = true;
    c.strip = strip;
    c.x = x;
    c.y = y;
    c.width = s.glyph_width;
    c.height = s.height;
    c.glyph = glyph;
    c.initial_glyph = glyph;
    update();
}

void CDigitalPanel::SetGlyph(int cell, int glyph) {
    if (!ValidCell(cell)) return;
    cells_[cell].glyph = glyph;
}

void CDigitalPanel::SetCellVisible(int cell, bool visible) {
    if (!ValidCell(cell)) return;
    cells_[cell].visible = visible;
}

void CDigitalPanel::WriteText(int first, int count, QStringView text) {
    for (int k = 0; k < count; ++k) {
        const int cell = first + k;
        if (!ValidCell(cell)) return;
        if (k >= text.size()) {
            cells_[cell].glyph = kvx::res::kBlankGlyph;
            continue;
        }
        const int glyph = kvx::res::GlyphForChar(text[k].unicode());
        if (glyph >= 0) cells_[cell].glyph = glyph;
    }
    update();
}

void CDigitalPanel::Reset() {
    for (CDigitalChar& c : cells_) c.glyph = c.initial_glyph;
    update();
}

void CDigitalPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const CDigitalChar& c : cells_) {
        if (!c.visible || c.strip < 0 || c.strip >= kvx::res::kStripCount) continue;
        const QImage& strip = strips_[c.strip];
        const kvx::res::GlyphStrip& s = kvx::res::kGlyphStrips[c.strip];
        // A strip that failed to load, or a glyph it does not have, draws nothing.
        if (strip.isNull() || c.glyph < 0 || c.glyph >= s.glyphs) continue;
        p.drawImage(QRect(c.x, c.y, c.width, c.height), strip,
                    QRect(c.glyph * s.glyph_width, 0, s.glyph_width, strip.height()));
    }
}
