#pragma once
// Qt's image reader as the picture family uses it: the format named, never guessed from the
// content, and Qt's process-wide allocation ceiling set just above the family's own limit, so
// that the family's checks decide and Qt's stays a second guard.
#include "platform/pictures/picture_format.h"

#include <QBuffer>
#include <QImageReader>

namespace quelm::pictures {

// Points `reader` at `bytes`, read through `buffer` (which must outlive the reading) as a
// picture of `format`; false when the buffer cannot be opened.
bool OpenReader(QBuffer& buffer, QImageReader& reader, const QByteArray& bytes, PictureFormat format);

} // namespace quelm::pictures
