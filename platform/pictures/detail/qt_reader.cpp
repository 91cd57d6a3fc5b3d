#include "platform/pictures/detail/qt_reader.h"

namespace quelm::pictures {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

const char* QtFormatName(PictureFormat format) {
    switch (format) {
    case PictureFormat::Bmp: return "bmp";
    case PictureFormat::Jpeg: return "jpeg";
    case PictureFormat::Gif: return "gif";
    }
    return "";
}

void SetDecoderAllocationLimit() {
    static const bool set = [] {
        QImageReader::setAllocationLimit(int(kMaxPictureBytes / kMiB + 16));
        return true;
    }();
    (void)set;
}

} // namespace

bool OpenReader(QBuffer& buffer, QImageReader& reader, const QByteArray& bytes, PictureFormat format) {
    SetDecoderAllocationLimit();
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return false;
    reader.setDevice(&buffer);
    reader.setFormat(QtFormatName(format));
    reader.setDecideFormatFromContent(false);
    return true;
}

} // namespace quelm::pictures
