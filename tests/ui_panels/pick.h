// Picking an item of a value selector the way a user does: open its list
// with a click on the field, then click the row with the text.
#pragma once

#include <QString>

#include "../gui/mouse.h"
#include "dialog_combo_list.h"
#include "static_combo.h"
#include "static_list.h"

inline bool PickText(CStaticCombo* combo, const QString& text) {
    Press(combo, {10, 10});
    Release(combo, {10, 10});
    CDialogComboList* list = combo->DropList();
    if (!list) return false;
    CStaticList* rows = list->List();
    for (int r = 0; r < rows->RowCount(); ++r) {
        if (rows->RowText(r) == text) {
            const QPoint at(20, r * CStaticList::kRowHeight + 9);
            MoveFree(rows, at);
            Release(rows, at);
            return true;
        }
    }
    list->close();
    return false;
}
