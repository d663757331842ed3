#pragma once

#include "imaging/DecodedPicture.h"

namespace teintelle {

// The photo decoders with those that the engine leaves to the platform: BMP
// (other than 32-bit uncompressed), icons, TIFF, and for the export PNG and
// WebP, through Qt's image readers; WMF and EMF through libwmf and
// libemf2svg turned into SVG and drawn by Qt SVG. Needs Qt's GUI module;
// drawing a metafile that holds text needs a QGuiApplication (fonts).
// Usable from several threads at once (the window's full-size path and an
// export, or teintelle-cli's exports): Qt's image readers are reentrant; the
// metafile converters and their drawing, whose libraries keep state of
// their own, run one at a time.
PhotoDecoders platformPhotoDecoders();

// The decoder and the drawing of what it gives (its render) made to run
// under the one lock of the metafile libraries, which the set's WMF and EMF
// decoders take: no two of them ever run at once, whichever thread calls.
PictureDecoder oneAtATime(PictureDecoder decode);

} // namespace teintelle
