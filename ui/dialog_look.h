// CDialogLook: how the special function dialogs build their controls, so
// that every dialog has the same dark camera look: texts by string number
// (white, grey when disabled), the value selectors, the image buttons, the
// sliders with their minus and plus buttons, and the background picture
// that sets a dialog's client size.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <span>

#include "model/value_tables.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;
class CStaticCombo;

namespace kvx::ui {

class CDialogLook {
public:
    static inline const QColor kPanel{0x2C, 0x2C, 0x2C};
    static inline const QColor kGrey{0x64, 0x64, 0x64};

    // The string table's text, with "\r\n" as a line break and "&&" as "&".
    static QString Text(uint32_t stringId);
    // A white text; a two-line text is 28 high and 7 pixels higher.
    static QLabel* Label(QWidget* parent, uint32_t stringId, QRect at,
                         Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    static QLabel* Label(QWidget* parent, const QString& text, QRect at,
                         Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    static void SetGrey(QLabel* label, bool grey);
    // OK / Cancel style image button (pictures 217..220), 109 x 22.
    static CGdipButton* TextButton(QWidget* parent, uint32_t stringId, QPoint at);
    // A check box look toggle with its text (pictures 174..177), 13 high.
    static CGdipButton* Toggle(QWidget* parent, uint32_t stringId, QPoint at, int width = 200);
    // A radio look button without text (pictures 178, 179), 17 x 16.
    static CGdipButton* RowButton(QWidget* parent, QPoint at);
    // A value selector, 218 x 22; user picks come as picked(int).
    static CStaticCombo* Selector(QWidget* parent, QPoint at);
    // Fills a selector with table rows; returns the count. A table's "---"
    // row (code 0 first) is shown but offered only with `offerPlaceholder`.
    static int Fill(CStaticCombo* selector, std::span<const VARNO::tag_VALUE_ITEM* const> rows,
                    bool offerPlaceholder = false);
    static int FillTable(CStaticCombo* selector, VARNO::ValueTable table,
                         bool offerPlaceholder = false);
    // Selects the row with `code`; false (selection kept) when none has it.
    static bool SelectCode(CStaticCombo* selector, int code);
    // Code of the selected row; -1 when nothing is selected.
    static int SelectedCode(const CStaticCombo* selector);
    // Slider (176 x 18, range 0..max, page and line 1) and its minus and plus
    // hold buttons (17 x 18, 500 ms first delay and repeat).
    static CGdipSlider* Slider(QWidget* parent, QPoint at, int max);
    static CGdipHoldButton* StepButton(QWidget* parent, QPoint at, bool plus);
    // Background picture: painted on the widget, which takes its size.
    static void SetBackground(QWidget* widget, int picture);
    // A plain panel-coloured background (the pages).
    static void SetPanelBackground(QWidget* widget);
};

}  // namespace kvx::ui
