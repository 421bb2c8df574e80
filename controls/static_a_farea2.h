// CStaticAFarea2: the 192 x 128 picture of the camera's focusing area. In
// frame mode it shows the nine fixed focus points of the current frame size
// and marks the selected one; in free-move mode the user drags a frame mark
// anywhere inside the field; in face mode the field is plain. Every choice of
// the user is reported with changed(); the owner then reads the state and
// sends it. What the owner sets itself is never reported.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <array>

class CStaticAFarea2 : public QWidget {
    Q_OBJECT
public:
    enum FrameSize { kLarge = 0, kRegular = 1, kSpot = 2 };
    static constexpr int kWidth = 192, kHeight = 128;

    // Throws std::runtime_error when a picture cannot be loaded.
    explicit CStaticAFarea2(QWidget* parent = nullptr);

    void Enable(bool on);
    // While free move is on, the free point is held inside the new size's limits.
    void SetFrameSize(int size);
    void SetFreeMove(bool on);
    void SetFaceMode(bool on);
    // Selects a fixed point (0..2 each); the free point moves to its centre.
    void SelectCell(int column, int row);
    // Free point, held inside the limits of the current size.
    void SetFreePoint(int x, int y);
    // Selects the fixed point nearest to (x, y).
    void SelectNearestCell(int x, int y);

    int FrameSizeIndex() const { return size_; }
    bool FreeMove() const { return free_move_; }
    bool FaceMode() const { return face_; }
    QPoint SelectedCell() const { return selected_; }  // (-1, -1) when none
    QPoint HotCell() const { return hot_; }
    QPoint FreePoint() const { return free_; }
    bool Dragging() const { return dragging_; }

    // Geometry, shared with tests and the owner.
    static int MarkSize(int size);
    static int MarkOffset(int size);
    static int ColumnBoxLeft(int size, int column);
    static int RowBoxTop(int size, int row);
    static int BoxEdge(int size);  // inclusive box is left .. left + edge - 1
    static QPoint ClampFree(int size, QPoint p);
    // Where the mark of the selected cell or of the free point is drawn.
    QPoint MarkTopLeft() const;
    // The background picture number for the current state.
    int BackgroundPicture() const;
    // Whether the mark is drawn now.
    bool MarkShown() const;

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPoint HitTest(QPoint pos) const;
    void EndDrag(bool commit);

    bool hover_ = false;
    bool dragging_ = false;
    QPoint hot_{-1, -1};
    QPoint selected_{-1, -1};
    QPoint free_{96, 64};
    int size_ = kLarge;
    bool free_move_ = false;
    bool face_ = false;
    std::array<QImage, 12> pictures_;  // 235..246
};
