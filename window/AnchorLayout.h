#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

namespace teintelle {

// Places children at their design position in a parent whose client area was
// designSize at design time, and keeps each anchored edge at its design
// distance from the same edge of the parent when the parent is resized. A
// child anchored on both sides of an axis stretches along it.
class AnchorLayout : public QLayout {
public:
    enum Anchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Q_DECLARE_FLAGS(Anchors, Anchor)

    AnchorLayout(QWidget* parent, QSize designSize);
    ~AnchorLayout() override;

    void addAnchored(QWidget* widget, QRect design, Anchors anchors);

    // Where a child designed at `design` goes in a client area of `client` size.
    static QRect place(QRect design, Anchors anchors, QSize designSize, QSize client);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        Anchors anchors;
    };
    QSize designSize_;
    QList<Entry> entries_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AnchorLayout::Anchors)

} // namespace teintelle
