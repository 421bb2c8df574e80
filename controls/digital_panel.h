// CDigitalPanel: one of the six LCD-like status readouts. It draws a fixed
// set of cells, each one glyph cut from a strip picture of equal-width
// glyphs (see glyph_strips.h); what each cell shows is set by the owner,
// directly by glyph number or by writing a text through the character map.
//
// The panel never erases its background: pixels outside the cells show
// whatever lies beneath (the main window's background picture).
#pragma once

#include <QImage>
#include <QStringView>
#include <QWidget>
#include <array>

#include "digital_char.h"

class CDigitalPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellCount = 25;
    static constexpr int kReadoutCount = 6;

    explicit CDigitalPanel(QWidget* parent = nullptr);

    // Loads the 30 strips in strip order; false at the first one that fails
    // (the rest stay unloaded, and cells of unloaded strips draw nothing).
    bool LoadStrips();

    // Sizes the panel and lays out the cells of readout 1..6 as the main
    // window shows them; false for another number.
    bool LayOut(int readout);
    static QSize ReadoutSize(int readout);  // empty for an unknown readout

    // Makes the cell visible, takes its size from the strip and remembers
    // the glyph as the one a reset brings back.
    void SetCell(int cell, int strip, int x, int y, int glyph);
    void SetGlyph(int cell, int glyph);
    void SetCellVisible(int cell, bool visible);
    // Character k of the text goes to cell first + k of a run of `count`
    // cells; characters 0x20..0x7F take their glyph from the character map
    // (blank where it has none), others leave the cell unchanged; cells past
    // the end of the text become blank.
    void WriteText(int first, int count, QStringView text);
    // Every laid-out cell gets its initial glyph back.
    void Reset();

    const CDigitalChar& Cell(int cell) const { return cells_.at(cell); }

    QSize sizeHint() const override { return size_hint_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<CDigitalChar, kCellCount> cells_{};
    std::array<QImage, 30> strips_{};
    QSize size_hint_{114, 86};
};
