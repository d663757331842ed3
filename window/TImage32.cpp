#include "window/TImage32.h"

#include "imaging/ViewGeometry.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace teintelle {

namespace {
constexpr QRgb kBackground = 0xFF808080u; // grey 128, 128, 128
}

TImage32::TImage32(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    bitmap_.setChangeHandler([this] { update(); });
}

void TImage32::Refresh() { repaint(); }

QImage TImage32::compose(QSize deviceSize) const
{
    QImage buffer(deviceSize, QImage::Format_RGB32);
    buffer.fill(kBackground);
    const ViewGeometry geometry =
        computeViewGeometry(bitmap_.Width(), bitmap_.Height(), deviceSize.width(), deviceSize.height());
    if (geometry.showsNothing())
        return buffer;

    const std::size_t rowBytes = std::size_t(geometry.shownWidth) * sizeof(QRgb);
    for (std::int32_t j = 0; j < geometry.shownHeight; ++j) {
        auto* line = reinterpret_cast<QRgb*>(buffer.scanLine(geometry.top + j)) + geometry.left;
        if (j > 0 && geometry.rows[std::size_t(j)] == geometry.rows[std::size_t(j - 1)]) {
            // Same surface row as the line above: copy it instead of sampling again.
            std::memcpy(line, reinterpret_cast<const QRgb*>(buffer.constScanLine(geometry.top + j - 1)) + geometry.left,
                        rowBytes);
            continue;
        }
        const TColor32* source = bitmap_.Bits() + std::size_t(geometry.rows[std::size_t(j)]) * std::size_t(bitmap_.Width());
        for (std::int32_t i = 0; i < geometry.shownWidth; ++i)
            line[i] = source[geometry.columns[std::size_t(i)]] | 0xFF000000u; // alpha ignored
    }
    return buffer;
}

void TImage32::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    QImage buffer = compose(deviceSize);
    buffer.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), buffer);
}

void TImage32::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace teintelle
