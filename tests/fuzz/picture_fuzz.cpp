// libFuzzer harness for the picture reader through which both the user's wall pictures and
// the textures load (platform/picture_loading.h): any bytes are refused, or decode (if at all)
// to a picture of exactly the size measured before decoding, which the callers budget for.
#include "platform/pictures/picture_decoding.h"

#include <QByteArray>
#include <QImage>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

namespace {

// Pictures larger than this are checked and measured but not decoded: a decode's time grows
// with the pixels, not with the input, and a few slow decodes would starve the search.
constexpr int64_t kMaxDecodedBytes = 16LL * 1024 * 1024;

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {} // the decoders' warnings

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(Quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quelm::pictures;
    // Raw data: a read past the input's end is a read past libFuzzer's buffer, which the
    // address sanitizer reports.
    const auto picture = CheckPicture(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!picture || picture->DecodedBytes() > kMaxDecodedBytes) return 0;
    const QImage image = DecodePicture(*picture);
    if (!image.isNull() && image.size() != picture->size) std::abort();
    return 0;
}
