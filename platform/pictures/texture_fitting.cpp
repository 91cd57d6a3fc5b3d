#include "platform/pictures/texture_fitting.h"

#include <QSysInfo>

#include <algorithm>
#include <cstring>

namespace quelm::pictures {
namespace {
constexpr int kChannels = 4; // bytes of a QRgb, each summed on its own
} // namespace

QSize TextureSize(QSize picture, int maxSide) {
    return {std::min(picture.width(), maxSide), std::min(picture.height(), maxSide)};
}

// Result pixel X covers the picture from X * from / to to (X + 1) * from / to. Counted in
// 1/to of a picture pixel, its edges and each picture pixel's are whole numbers, and the
// weights (the lengths under it) add up to `from`.
std::vector<RowShrinker::Span> RowShrinker::Spans(int from, int to) {
    std::vector<Span> spans(static_cast<size_t>(to));
    for (int64_t x = 0; x < to; ++x) {
        const int64_t begin = x * from, end = (x + 1) * from;
        Span& span = spans[size_t(x)];
        span.first = int(begin / to);
        for (int64_t i = span.first; i * to < end; ++i)
            span.weights.push_back(uint32_t(std::min(end, (i + 1) * to) - std::max(begin, i * to)));
    }
    return spans;
}

RowShrinker::RowShrinker(QSize from, QSize to)
    : from_(from), to_(to), columns_(Spans(from.width(), to.width())), rows_(Spans(from.height(), to.height())),
      current_(size_t(from.width()) * kChannels), next_(current_.size()),
      scale_(1.0 / (double(from.width()) * double(from.height()))), result_(to, QImage::Format_RGB32) {}

namespace {
// sums[i] += weight * bytes[i]: whole rows at once, which the compiler makes vector code of.
__attribute__((optimize("tree-vectorize"))) void AddWeighted(uint32_t* sums, const uint8_t* bytes, size_t count,
                                                             uint32_t weight) {
    for (size_t i = 0; i < count; ++i) sums[i] += weight * bytes[i];
}
} // namespace

void RowShrinker::AddRow(const QRgb* pixels) {
    if (sourceRow_ >= from_.height() || resultRow_ >= to_.height() || result_.isNull()) return;
    const int y = sourceRow_++;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    const Span& span = rows_[size_t(resultRow_)];
    const size_t k = size_t(y - span.first);
    AddWeighted(current_.data(), bytes, current_.size(), span.weights[k]);
    if (k + 1 < span.weights.size()) return;
    // The result row's last picture row: it may also be the next result row's first.
    const bool shared = resultRow_ + 1 < to_.height() && rows_[size_t(resultRow_) + 1].first == y;
    if (shared) AddWeighted(next_.data(), bytes, next_.size(), rows_[size_t(resultRow_) + 1].weights[0]);
    EmitRow();
    current_.swap(next_);
    std::fill(next_.begin(), next_.end(), 0);
}

void RowShrinker::EmitRow() {
    // Where a QRgb keeps red, green and blue in memory.
    constexpr bool kLittle = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    constexpr int kRed = kLittle ? 2 : 1, kGreen = kLittle ? 1 : 2, kBlue = kLittle ? 0 : 3;
    auto* out = reinterpret_cast<QRgb*>(result_.scanLine(resultRow_++));
    for (int x = 0; x < to_.width(); ++x) {
        const Span& span = columns_[size_t(x)];
        const uint32_t* in = current_.data() + size_t(span.first) * kChannels;
        uint64_t r = 0, g = 0, b = 0;
        for (size_t i = 0; i < span.weights.size(); ++i, in += kChannels) {
            const uint64_t w = span.weights[i];
            r += w * in[kRed];
            g += w * in[kGreen];
            b += w * in[kBlue];
        }
        const auto mean = [&](uint64_t sum) { return int(double(sum) * scale_ + 0.5); };
        out[x] = qRgb(mean(r), mean(g), mean(b));
    }
}

QImage RowShrinker::Take() {
    if (resultRow_ < to_.height()) return {};
    return std::move(result_);
}

QImage Shrink(const QImage& picture, QSize to) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    RowShrinker shrinker(rgb.size(), to);
    for (int y = 0; y < rgb.height(); ++y) shrinker.AddRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y)));
    QImage result = shrinker.Take();
    result.setDotsPerMeterX(picture.dotsPerMeterX());
    result.setDotsPerMeterY(picture.dotsPerMeterY());
    return result;
}

TextureFitter::TextureFitter(QSize picture, int maxSide) : size_(picture) {
    const QSize fitted = TextureSize(picture, maxSide);
    if (fitted != picture)
        shrinker_.emplace(picture, fitted);
    else
        kept_ = QImage(picture, QImage::Format_RGB32);
}

void TextureFitter::AddRow(const QRgb* pixels) {
    if (nextRow_ >= size_.height()) return;
    const int y = nextRow_++;
    if (shrinker_)
        shrinker_->AddRow(pixels);
    else if (!kept_.isNull())
        std::memcpy(kept_.scanLine(y), pixels, size_t(size_.width()) * sizeof(QRgb));
}

QImage TextureFitter::Take() {
    if (nextRow_ < size_.height()) return {};
    if (shrinker_) kept_ = shrinker_->Take();
    shrinker_.reset();
    return std::move(kept_);
}

QImage FitToTexture(const QImage& picture, int maxSide) {
    const QSize fitted = TextureSize(picture.size(), maxSide);
    return fitted == picture.size() ? picture : Shrink(picture, fitted);
}

} // namespace quelm::pictures
