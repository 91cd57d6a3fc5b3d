// Writes the push button's six state pictures as PNG files into a folder:
//   quelm_make_button_pictures <folder>   (the repository keeps them in assets/button/)
#include <QDir>
#include <cstdio>

#include "button/state_pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    using quelm::ButtonPicture;
    for (ButtonPicture p : {ButtonPicture::Normal, ButtonPicture::HighLight, ButtonPicture::HighLightSelect,
                            ButtonPicture::Pressed, ButtonPicture::Disable, ButtonPicture::Selected}) {
        const QString path = folder.filePath(QString::fromLatin1(quelm::PictureName(p)) + ".png");
        if (!quelm::DrawStatePicture(p).convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
