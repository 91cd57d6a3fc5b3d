#include "button/state_pictures.h"

#include <QColor>
#include <array>

namespace quelm {
namespace {

// Colours are RRGGBB.
constexpr QRgb kOutlineBlue = 0x003C74;
constexpr QRgb kOutlineGrey = 0xC9C7BA; // Disable's outline
constexpr QRgb kDialogGrey = 0xECE9D8;
constexpr QRgb kBeigeTop = 0xDCD6C2;     // outer ring, top row
constexpr QRgb kBeigeSideTop = 0xE0DCC9; // outer ring, sides at the top ...
constexpr QRgb kBeigeBottom = 0xFAFAF6;  // ... lightening to this along the bottom

// One layer of the ring: colours of its top row, bottom row, and its side columns, which
// run from sideTop (just under the top row) to sideBottom (just above the bottom row).
struct Layer {
    QRgb top, bottom, sideTop, sideBottom;
    bool roundedCorners = false; // corner pixels blended with the layer outside
};
struct PictureLayers {
    std::array<Layer, 4> layers;
    QRgb centre; // never copied onto a face
};

constexpr Layer Solid(QRgb c, bool rounded = false) { return Layer{c, c, c, c, rounded}; }

constexpr Layer kBeigeRing{kBeigeTop, kBeigeBottom, kBeigeSideTop, kBeigeBottom};
constexpr Layer kBlueOutline = Solid(kOutlineBlue, true);

PictureLayers Describe(ButtonPicture picture) {
    switch (picture) {
    case ButtonPicture::HighLight:
    case ButtonPicture::HighLightSelect: // identical, pixel for pixel
        return {{kBeigeRing, kBlueOutline, Layer{0xFFF0CF, 0xE59700, 0xFCD279, 0xF9B435},
                 Layer{0xFDD889, 0xF8B230, 0xFCCA69, 0xF9B435}},
                0xF3F3EE};
    case ButtonPicture::Selected:
        return {{kBeigeRing, kBlueOutline, Layer{0xCEE7FF, 0x6982EE, 0xB7D0F4, 0x8BADE4},
                 Layer{0xCEE7FF, 0x6982EE, 0xB7D0F4, 0x8BADE4}},
                0xF3F3EE};
    case ButtonPicture::Pressed: // outline one pixel further in, sunken inside it
        return {{Solid(kDialogGrey), Solid(kDialogGrey), kBlueOutline, Layer{0xD1CCC1, 0xF2F1EE, 0xDCD8CF, 0xF2F1EE}},
                0xE6E3DA};
    case ButtonPicture::Disable:
        return {{Solid(kDialogGrey), Solid(kOutlineGrey, true), Solid(0xF5F4EA), Solid(0xF5F4EA)}, 0xF5F4EA};
    case ButtonPicture::Normal:
    case ButtonPicture::None: break;
    }
    return {{kBeigeRing, kBlueOutline, Layer{0xFEFEFE, 0xD6D0C5, 0xF3F3EE, 0xF3F3EE},
             Layer{0xFAFAF7, 0xE2DFD6, 0xF3F3EE, 0xF3F3EE}},
            0xF3F3EE};
}

QRgb Mix(QRgb a, QRgb b, int bWeight, int total) {
    auto ch = [&](int shift) {
        const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        return ((ca * (total - bWeight) + cb * bWeight + total / 2) / total) << shift;
    };
    return static_cast<QRgb>(ch(16) | ch(8) | ch(0));
}

} // namespace

QImage DrawStatePicture(ButtonPicture picture) {
    const PictureLayers d = Describe(picture);
    QImage image(kPictureWidthPx, kPictureHeightPx, QImage::Format_RGB32);
    image.fill(0xFF000000 | d.centre);
    const int right = kPictureWidthPx - 1, bottom = kPictureHeightPx - 1;
    for (int l = 0; l < 4; ++l) {
        const Layer& layer = d.layers[l];
        const int x0 = l, x1 = right - l, y0 = l, y1 = bottom - l;
        for (int x = x0; x <= x1; ++x) {
            image.setPixel(x, y0, 0xFF000000 | layer.top);
            image.setPixel(x, y1, 0xFF000000 | layer.bottom);
        }
        const int span = y1 - y0 - 2; // side rows run from y0 + 1 to y1 - 1
        for (int y = y0 + 1; y < y1; ++y) {
            const QRgb c = Mix(layer.sideTop, layer.sideBottom, y - (y0 + 1), span > 0 ? span : 1);
            image.setPixel(x0, y, 0xFF000000 | c);
            image.setPixel(x1, y, 0xFF000000 | c);
        }
        if (layer.roundedCorners && l > 0) {
            // Round the corner: half way towards the colour just outside it.
            for (auto [x, y, ox, oy] : {std::array{x0, y0, x0 - 1, y0}, std::array{x1, y0, x1 + 1, y0},
                                        std::array{x0, y1, x0 - 1, y1}, std::array{x1, y1, x1 + 1, y1}}) {
                image.setPixel(x, y, 0xFF000000 | Mix(layer.top & 0xFFFFFF, image.pixel(ox, oy) & 0xFFFFFF, 1, 2));
            }
        }
    }
    return image;
}

QString StatePictureResource(ButtonPicture picture) {
    return QStringLiteral(":/button/%1.png").arg(QString::fromLatin1(PictureName(picture)));
}

QImage StatePicture(ButtonPicture picture) {
    // Decoded once: every paint copies from one of these. Buttons live on the GUI thread only.
    static std::array<QImage, 7> cache;
    QImage& image = cache[static_cast<size_t>(picture)];
    if (image.isNull()) {
        image = QImage(StatePictureResource(picture));
        if (image.isNull() || image.width() != kPictureWidthPx || image.height() != kPictureHeightPx)
            image = DrawStatePicture(picture);
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    return image;
}

} // namespace quelm
