#pragma once
// The dialog's pictures, drawn when first asked for: the two 12 x 12 source marks and the
// program's 32 x 32 icon (the inside of a box, seen from within).
#include <QIcon>
#include <QImage>

namespace quelm::dialog {

QImage UnselectedMark(); // an empty white square with a thin grey frame
QImage SelectedMark();   // the same square filled with blue
QImage IconImage();      // 32 x 32 pixels, at most 256 colours
QIcon ProgramIcon();

} // namespace quelm::dialog
