#include "render/box_device.h"

#include "platform/d3d/gl_direct3d.h"

namespace quelm {

std::string DeviceErrorText(d3d::HResult hr) { return std::to_string(hr) + " " + d3d::Describe(hr); }

d3d::PresentParameters FullScreenParameters(const d3d::DisplayMode& mode, QWindow* window) {
    d3d::PresentParameters p;
    p.BackBufferWidth = mode.Width;
    p.BackBufferHeight = mode.Height;
    p.BackBufferFormat = mode.format;
    p.BackBufferCount = 1;
    p.MultiSampleType = 0;
    p.SwapEffect = d3d::kSwapEffectDiscard;
    p.hDeviceWindow = window;
    p.Windowed = false;
    p.EnableAutoDepthStencil = true;
    p.AutoDepthStencilFormat = d3d::Format::D16;
    p.Flags = 0;
    p.FullScreen_RefreshRateInHz = 0;      // the adapter's default rate
    p.FullScreen_PresentationInterval = 0; // the default: one vertical retrace
    return p;
}

BoxDevice::BoxDevice(Direct3DCreator root, ErrorReporter report, QScreen* screen)
    : root_(std::move(root)), report_(std::move(report)), screen_(screen) {}

uint32_t BoxDevice::Adapter() const { return screen_ ? d3d::AdapterOf(screen_) : 0; }

BoxDevice::~BoxDevice() = default;

bool BoxDevice::InitDevice(QWindow* window) {
    const d3d::HResult hr = [&]() -> d3d::HResult {
        direct3d_ = root_ ? root_() : nullptr;
        if (!direct3d_) return d3d::kErrNotAvailable;
        d3d::DisplayMode mode;
        if (const d3d::HResult r = direct3d_->GetAdapterDisplayMode(Adapter(), mode); d3d::Failed(r)) return r;
        const d3d::PresentParameters parameters = FullScreenParameters(mode, window);
        return direct3d_->CreateDevice(Adapter(), d3d::DevType::Hal, d3d::kCreateSoftwareVertexProcessing, parameters,
                                       device_);
    }();
    if (d3d::Failed(hr) || !device_) {
        device_.reset();
        if (report_) report_(DeviceErrorText(d3d::Failed(hr) ? hr : d3d::kErrNotAvailable));
        return false;
    }
    return true;
}

std::optional<d3d::DisplayMode> BoxDevice::DisplayMode() const {
    const auto direct3d = root_ ? root_() : nullptr;
    d3d::DisplayMode mode;
    if (!direct3d || d3d::Failed(direct3d->GetAdapterDisplayMode(Adapter(), mode))) return std::nullopt;
    return mode;
}

void BoxDevice::ReleaseDevice() {
    device_.reset();
    direct3d_.reset();
}

} // namespace quelm
