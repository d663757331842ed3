#pragma once

#include "imaging/TBitmap32.h"

#include <QWidget>

namespace teintelle {

// An image view: shows its own surface over a grey background, shrunk to fit
// and centred, never enlarged, nearest-pixel sampling, alpha ignored. The
// geometry is worked out in device pixels, so a photo is never blurred by the
// display's scaling.
class TImage32 : public QWidget {
    Q_OBJECT
public:
    explicit TImage32(QWidget* parent = nullptr);

    TBitmap32& Bitmap() { return bitmap_; }
    const TBitmap32& Bitmap() const { return bitmap_; }

    // Redraws the whole view at once, before returning.
    void Refresh();

    // The picture the view shows, composed at the given device size.
    QImage compose(QSize deviceSize) const;

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TBitmap32 bitmap_;
};

} // namespace teintelle
