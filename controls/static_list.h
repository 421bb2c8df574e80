// CStaticList: the rows of a value selector's drop list, 18 pixels each,
// drawn from the row pictures. The hot row follows the pointer and the arrow
// keys; a click or Enter picks it.
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <vector>

class CStaticList : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;

    CStaticList(bool narrow, bool image_mode, int text_offset, QWidget* parent);

    void AddRow(const QString& text, const QImage& image);
    int RowCount() const { return static_cast<int>(texts_.size()); }
    int HotRow() const { return hot_; }
    void SetHotRow(int row);
    QString RowText(int row) const { return texts_.value(row); }
    // The row under a point of the list, -1 outside it.
    int RowAt(const QPoint& pos) const;

signals:
    void rowPicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool image_mode_;
    int text_offset_;
    int hot_ = -1;
    QStringList texts_;
    std::vector<QImage> images_;
    QImage row_normal_, row_hot_;
};
