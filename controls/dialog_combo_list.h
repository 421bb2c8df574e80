// CDialogComboList: the borderless pop-up that a value selector opens. It
// holds one CStaticList with the selector's offered items and closes on a
// pick, on Escape or when the user clicks anywhere else.
#pragma once

#include <QWidget>

class CStaticCombo;
class CStaticList;

class CDialogComboList : public QWidget {
    Q_OBJECT
public:
    // Filled from `combo`'s offered items, placed against it; not yet shown.
    explicit CDialogComboList(CStaticCombo& combo);
    ~CDialogComboList() override;

    CStaticList* List() const { return list_; }
    // Closes with the item at list row `row` picked.
    void Pick(int row);

signals:
    // Item index in the selector, or -1 when the list was cancelled. Emitted once.
    void closed(int index);

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Finish(int index);
    CStaticCombo& combo_;
    CStaticList* list_ = nullptr;
    int first_offered_ = 0;
    bool finished_ = false;
};
