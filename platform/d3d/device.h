#pragma once
// A thin stand-in for the Direct3D 8 services the box renderer calls: the Direct3D object
// (display mode, device creation) and a device with fixed-function render state, textures
// read from picture files, one vertex buffer format, transforms, clearing, drawing and
// presenting. Every operation answers with an HRESULT-style code, so the renderer keeps the
// original's rule "a failing step ends the routine" and tests can record the calls in order.
//
// Emulated: the operations, values and defaults that the renderer uses (listed with the
// enums below), with Direct3D's conventions: left-handed row-vector matrices, depth clipped
// to 0..w, clockwise front faces, texture row 0 at tv = 0, scenes bracketed by BeginScene and
// EndScene (a second BeginScene without EndScene fails).
// Not emulated: lost devices and Reset, other vertex formats than position plus one
// texture coordinate pair, index buffers, lights and materials, multisampling, stencil,
// cursor, gamma, mipmap chains (textures have their top level only).
#include <glm/mat4x4.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class QImage;
class QWindow;

namespace quelm::d3d {

// HRESULT: negative values are failures.
using HResult = int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kErrNotAvailable = static_cast<HResult>(0x8876086Au);     // D3DERR_NOTAVAILABLE
inline constexpr HResult kErrInvalidCall = static_cast<HResult>(0x8876086Cu);      // D3DERR_INVALIDCALL
inline constexpr HResult kErrOutOfVideoMemory = static_cast<HResult>(0x8876017Cu); // D3DERR_OUTOFVIDEOMEMORY
inline constexpr HResult kErrInvalidData = static_cast<HResult>(0x88760B59u);      // D3DXERR_INVALIDDATA
inline constexpr bool Failed(HResult hr) { return hr < 0; }

// The description of a code, for the user's message when the device cannot be made.
std::string Describe(HResult hr);

// Matrices are stored as Direct3D stores them (row-major, for row vectors v * M). A glm::mat4
// built for column vectors has exactly this memory layout, so GLM's left-handed functions
// give the Direct3D matrices, and Direct3D's product A * B is GLM's B * A.
using Matrix = glm::mat4;

enum class Format : uint32_t { Unknown = 0, R8G8B8 = 20, A8R8G8B8 = 21, X8R8G8B8 = 22, R5G6B5 = 23, D16 = 80 };

struct DisplayMode {
    uint32_t Width = 0;       // pixels
    uint32_t Height = 0;      // pixels
    uint32_t RefreshRate = 0; // Hz, 0 when unknown
    Format format = Format::Unknown;
};

enum class DevType : uint32_t { Hal = 1 };
inline constexpr uint32_t kCreateSoftwareVertexProcessing = 0x20;
inline constexpr uint32_t kSwapEffectDiscard = 1;

struct PresentParameters {
    uint32_t BackBufferWidth = 0;
    uint32_t BackBufferHeight = 0;
    Format BackBufferFormat = Format::Unknown;
    uint32_t BackBufferCount = 0;
    uint32_t MultiSampleType = 0;
    uint32_t SwapEffect = 0;
    QWindow* hDeviceWindow = nullptr; // none: an off-screen device
    bool Windowed = false;
    bool EnableAutoDepthStencil = false;
    Format AutoDepthStencilFormat = Format::Unknown;
    uint32_t Flags = 0;
    uint32_t FullScreen_RefreshRateInHz = 0;
    uint32_t FullScreen_PresentationInterval = 0; // 0: the default, one retrace
};

enum class RenderState : uint32_t { ZEnable = 7, CullMode = 22, AlphaBlendEnable = 27, Lighting = 137 };
inline constexpr uint32_t kZbTrue = 1;
inline constexpr uint32_t kCullNone = 1, kCullCw = 2, kCullCcw = 3;

enum class TextureStageState : uint32_t { ColorOp = 1, ColorArg1 = 2, MagFilter = 16, MinFilter = 17 };
inline constexpr uint32_t kTopModulate = 4, kTopSelectArg1 = 2;
inline constexpr uint32_t kTaDiffuse = 0, kTaTexture = 2;
inline constexpr uint32_t kTexfPoint = 1, kTexfLinear = 2;

enum class TransformState : uint32_t { View = 2, Projection = 3 };

enum class PrimitiveType : uint32_t { TriangleStrip = 5 };

inline constexpr uint32_t kClearTarget = 1, kClearZBuffer = 2;
inline constexpr uint32_t kFvfXyz = 0x002, kFvfTex1 = 0x100;
inline constexpr uint32_t kUsageWriteOnly = 8;
inline constexpr uint32_t kPoolManaged = 1;

// The longest texture side a device in `mode` gives (less when the graphics driver allows
// less): the screen's longer side. A wall seen whole never shows more texels across than
// the screen has pixels, and without mipmaps more would only alias while costing memory (a
// 12-megapixel photo would hold 48 MB a wall); a desktop capture always fits as it is.
inline int MaxTextureSide(const DisplayMode& mode) { return int(mode.Width > mode.Height ? mode.Width : mode.Height); }

// Device resources are named by handles; 0 names none.
using TextureHandle = uint32_t;
using VertexBufferHandle = uint32_t;

class Device {
public:
    virtual ~Device() = default;

    virtual HResult SetRenderState(RenderState state, uint32_t value) = 0;
    virtual HResult SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) = 0;
    // D3DXCreateTextureFromFile: one texture holding the whole picture, fully opaque; a side
    // longer than the device allows (MaxTextureSide) is cut to it and the picture shrunk to
    // fit by averaging (pictures::FitToTexture, the loader's "triangle" filter).
    virtual HResult CreateTextureFromFile(const std::filesystem::path& file, TextureHandle& texture) = 0;
    // CreateTexture: one level, X8R8G8B8, managed; its pixels are undefined until copied.
    // Fails for a side above the device's limit.
    virtual HResult CreateTexture(uint32_t width, uint32_t height, TextureHandle& texture) = 0;
    // A texture showing `source`'s texels mirrored left to right, sharing them: drawn as a
    // texture holding the mirror image would be.
    virtual HResult CreateMirroredTexture(TextureHandle source, TextureHandle& texture) = 0;
    // LockRect, copy, UnlockRect: `rowCount` rows of 32-bit pixels (0xAARRGGBB, alpha
    // ignored) from `rows`, `bytesPerRow` apart, to the texture's rows from `firstRow` on.
    virtual HResult CopyToTexture(TextureHandle texture, uint32_t firstRow, uint32_t rowCount, const void* rows,
                                  uint32_t bytesPerRow) = 0;
    // length in bytes; fvf a vertex format code.
    virtual HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                       VertexBufferHandle& buffer) = 0;
    // Lock, copy, unlock: `size` bytes from `data` to byte `offset` of the buffer.
    virtual HResult CopyToVertexBuffer(VertexBufferHandle buffer, uint32_t offset, const void* data, uint32_t size) = 0;
    virtual HResult SetTransform(TransformState state, const Matrix& matrix) = 0;
    // Whole target; colour as 0xAARRGGBB; depth 0..1.
    virtual HResult Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) = 0;
    virtual HResult BeginScene() = 0;
    virtual HResult EndScene() = 0;
    virtual HResult SetVertexShader(uint32_t fvf) = 0;
    virtual HResult SetStreamSource(uint32_t stream, VertexBufferHandle buffer, uint32_t stride) = 0;
    virtual HResult SetTexture(uint32_t stage, TextureHandle texture) = 0;
    virtual HResult DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    // The whole back buffer to the whole device window.
    virtual HResult Present() = 0;
    // A copy of what was last presented (black before the first Present), top row first.
    // Off-screen devices only; a device on a window answers kErrNotAvailable.
    virtual HResult GetFrontBuffer(QImage& image) = 0;
    virtual void ReleaseVertexBuffer(VertexBufferHandle buffer) = 0;
    // Releasing the device (destroying it) frees everything it made.
};

class Direct3D {
public:
    virtual ~Direct3D() = default;
    virtual HResult GetAdapterDisplayMode(uint32_t adapter, DisplayMode& mode) = 0;
    virtual HResult CreateDevice(uint32_t adapter, DevType type, uint32_t behaviorFlags,
                                 const PresentParameters& parameters, std::unique_ptr<Device>& device) = 0;
    // Releasing the Direct3D object is destroying it.
};

} // namespace quelm::d3d
