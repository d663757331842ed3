#pragma once

#include "export/PhotoExport.h"
#include "imaging/DecodedPicture.h"

namespace teintelle {

// The photo decoders with those of the full-size path that the engine leaves to the
// platform: BMP (other than 32-bit uncompressed), icons and TIFF through
// Qt's image readers, WMF and EMF through libwmf and libemf2svg turned into
// SVG and drawn by Qt SVG. Needs Qt's GUI module; drawing a metafile that
// holds text needs a QGuiApplication (fonts).
PhotoDecoders platformPhotoDecoders();

// The same readers for the export, with PNG and WebP besides, handed to it
// rather than installed. Usable from several threads at once: Qt's image
// readers are reentrant; the metafile converters and their drawing, whose
// libraries keep state of their own, run one at a time.
PhotoReaders platformPhotoReaders();

} // namespace teintelle
