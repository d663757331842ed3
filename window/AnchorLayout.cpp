#include "window/AnchorLayout.h"

#include <QWidget>
#include <QWidgetItem>

#include <algorithm>

namespace teintelle {

AnchorLayout::AnchorLayout(QWidget* parent, QSize designSize) : QLayout(parent), designSize_(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(QLayout::SetNoConstraint);
}

AnchorLayout::~AnchorLayout()
{
    for (const Entry& entry : entries_)
        delete entry.item;
}

void AnchorLayout::addAnchored(QWidget* widget, QRect design, Anchors anchors)
{
    addChildWidget(widget);
    entries_.append({new QWidgetItem(widget), design, anchors});
    invalidate();
}

namespace {

// One axis: start and length of a child, given its anchors on that axis.
std::pair<int, int> placeAxis(int start, int length, bool nearAnchor, bool farAnchor, int growth)
{
    if (nearAnchor && farAnchor)
        return {start, std::max(0, length + growth)};
    if (farAnchor)
        return {start + growth, length};
    if (!nearAnchor)
        return {start + growth / 2, length};
    return {start, length};
}

} // namespace

QRect AnchorLayout::place(QRect design, Anchors anchors, QSize designSize, QSize client)
{
    const auto [x, width] = placeAxis(design.x(), design.width(), anchors.testFlag(Left), anchors.testFlag(Right),
                                      client.width() - designSize.width());
    const auto [y, height] = placeAxis(design.y(), design.height(), anchors.testFlag(Top),
                                       anchors.testFlag(Bottom), client.height() - designSize.height());
    return {x, y, width, height};
}

void AnchorLayout::addItem(QLayoutItem* item) { entries_.append({item, item->geometry(), Left | Top}); }

QLayoutItem* AnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    return entries_.takeAt(index).item;
}

int AnchorLayout::count() const { return int(entries_.size()); }

QSize AnchorLayout::sizeHint() const { return designSize_; }

QSize AnchorLayout::minimumSize() const { return {0, 0}; }

void AnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Entry& entry : entries_) {
        const QRect placed = place(entry.design, entry.anchors, designSize_, rect.size());
        // Straight to the widget: a layout item would bend the rectangle to
        // the widget's size policy, and the design sizes must hold exactly.
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(placed.translated(rect.topLeft()));
        else
            entry.item->setGeometry(placed.translated(rect.topLeft()));
    }
}

} // namespace teintelle
