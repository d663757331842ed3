#pragma once

#include <QGuiApplication>

namespace teintelle {

// The hourglass over the whole screen for as long as it lives; the default
// cursor comes back when it goes, whether the work ended normally or in error.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor()
    {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace teintelle
