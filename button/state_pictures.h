#pragma once
// The six state pictures of the push button, drawn by code: 64 x 25 pixels, 24-bit colour.
// Only the ring four pixels wide along the edges is ever copied onto a face; the ring is
// built from four one-pixel layers, layer 0 at the picture's edge and layer 3 innermost.
// The committed PNG files under assets/button/ are this code's output
// (tools: button/make_state_pictures.cpp).
#include <QImage>
#include <QString>

#include "button/button_rules.h"

namespace quelm {

// Draws the picture from its layer description.
QImage DrawStatePicture(ButtonPicture picture);

// The picture the button uses: the compiled-in PNG (":/button/<Name>.png"), or the drawn
// picture when the resource cannot be read.
QImage StatePicture(ButtonPicture picture);

// Resource path of a picture's PNG.
QString StatePictureResource(ButtonPicture picture);

} // namespace quelm
