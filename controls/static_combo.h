// CStaticCombo: the value selector. A picture-drawn field that shows the
// selected item and, when clicked, opens its drop list (CDialogComboList)
// below it (regular look) or above it (narrow look).
//
// The selector does not know what its items mean: the owner fills it with
// (text, table row, camera code) items and hears of the user's picks through
// picked(). Everything the owner does itself (Clear, AddItem, Select, ...)
// stays silent, so a value the camera reports can never travel back to the
// camera as a pick.
//
// Which items are offered: the drop list shows items from the first offered
// index to the last. Owners put a table's "---" placeholder first and offer
// from 1, so the placeholder is shown when the camera has no value but can
// never be picked. Select() never points past the end: an index outside the
// items selects nothing.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "dialog_combo_list.h"

class CStaticCombo : public QWidget {
    Q_OBJECT
public:
    enum class Style { kRegular, kNarrow };
    static constexpr int kMaxItems = 26;
    static constexpr int kHeight = 22;
    static constexpr int kRowHeight = 18;

    explicit CStaticCombo(QWidget* parent = nullptr);
    ~CStaticCombo() override;

    // Moves to (x, y) with that width and the fixed height, and shows it.
    void Place(int x, int y, int width);
    // No items, nothing selected, first offered index 0; an open list closes.
    void Clear();
    // Appends an item; false (and nothing added) once 26 are held.
    bool AddItem(const QString& text, uint8_t row, uint8_t code);
    // Selects `index`; -1 or an index outside the items selects nothing.
    void Select(int index);
    // Items before it are shown but never offered; held to 0 .. item count.
    void SetFirstOffered(int index);
    void Enable(bool on);
    void SetNarrowStyle();
    // Image items: each item shows a swatch picture instead of its text.
    void SetImageMode(bool on);
    // The swatch pictures of item `index` (normal, disabled); false when one
    // does not load.
    bool SetItemImages(int index, int normal, int disabled);
    void SetTextOffset(int offset) { text_offset_ = offset; }

    int Count() const { return static_cast<int>(items_.size()); }
    int Selected() const { return selected_; }
    int FirstOffered() const { return first_offered_; }
    QString Text(int index) const;
    uint8_t Row(int index) const;
    uint8_t Code(int index) const;
    // Code of the selected item, -1 when nothing is selected.
    int SelectedCode() const;
    // First offered item with `code`, -1 when none.
    int IndexOfOfferedCode(uint8_t code) const;
    // First item (offered or not) with `code`, -1 when none.
    int IndexOfCode(uint8_t code) const;
    Style GetStyle() const { return style_; }
    bool ImageMode() const { return image_mode_; }
    int TextOffset() const { return text_offset_; }
    QImage ItemImage(int index, bool disabled) const;
    bool IsDropped() const { return list_ != nullptr; }
    CDialogComboList* DropList() const { return list_; }
    bool IsHovered() const { return hover_; }

    // Opens the drop list (nothing happens when no item is offered).
    void OpenList();

signals:
    // The user picked the item at `index` from the drop list.
    void picked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnListClosed(int index);
    void CloseList();

    struct Item {
        QString text;
        uint8_t row = 0;
        uint8_t code = 0;
        QImage normal, disabled;
    };
    std::vector<Item> items_;
    int selected_ = -1;
    int first_offered_ = 0;
    int text_offset_ = 6;
    Style style_ = Style::kRegular;
    bool image_mode_ = false;
    bool hover_ = false;
    QImage body_normal_, body_hover_, body_disabled_;
    QImage button_normal_, button_hover_, button_open_, button_disabled_;
    QPointer<CDialogComboList> list_;
};
