#pragma once
// A picture made fit for a texture: no side longer than the device allows. Each side on its
// own is cut to the limit (the aspect is not kept; the texture still covers its face) and the
// picture shrunk to that size by averaging: each texel is the mean of the picture's pixels
// under it, each weighted by how much of it lies under (the area, or "triangle", filter of
// Direct3D's texture loader). One rule for every texture, whether its pixels come from a file
// or from memory, whole or row by row: the same rows always give the same texels.
#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace quelm::pictures {

// The size a picture takes as a texture when neither side may exceed `maxSide` (texels).
QSize TextureSize(QSize picture, int maxSide);

// Shrinks a picture fed row by row to `to` (no side larger than the picture's).
class RowShrinker {
public:
    RowShrinker(QSize from, QSize to);
    // The picture's next row, `from.width()` pixels.
    void AddRow(const QRgb* pixels);
    // The result once all rows are in (a null image before).
    QImage Take();

private:
    struct Span {
        int first;
        std::vector<uint32_t> weights;
    }; // source pixels under one result pixel
    static std::vector<Span> Spans(int from, int to);
    void EmitRow();

    QSize from_, to_;
    std::vector<Span> columns_, rows_;
    // The picture's rows summed down, byte by byte, for the result row being made and the
    // next one (a picture row on the border between them goes into both).
    std::vector<uint32_t> current_, next_;
    double scale_; // 1 / (the weights of a result pixel summed)
    int sourceRow_ = 0, resultRow_ = 0;
    QImage result_;
};

// The whole picture shrunk to `to` by the same rule; the picture's density is kept.
QImage Shrink(const QImage& picture, QSize to);

// The texture of a picture fed row by row, top row first: the rows themselves when the
// picture fits `maxSide`, else the picture shrunk.
class TextureFitter {
public:
    TextureFitter(QSize picture, int maxSide);
    void AddRow(const QRgb* pixels);
    // The texture once all rows are in; a null image before, or without memory for it.
    QImage Take();

private:
    QSize size_;
    int nextRow_ = 0;
    QImage kept_;
    std::optional<RowShrinker> shrinker_;
};

// The texture of a whole picture: the picture itself (its pixels shared) when it fits.
QImage FitToTexture(const QImage& picture, int maxSide);

} // namespace quelm::pictures
