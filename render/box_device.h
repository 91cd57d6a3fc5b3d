#pragma once
// The show's 3D device: the Direct3D object and one full-screen device at its screen's
// resolution and format with a 16-bit depth buffer. A failed creation is reported to the
// user once, as "<number> <description>", and the device stays absent.
#include "platform/d3d/device.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QScreen>

class QWindow;

namespace quelm {

// The root object: makes the Direct3D object (nothing when it cannot).
using Direct3DCreator = std::function<std::unique_ptr<d3d::Direct3D>()>;
// Shows the user one message (OK button only).
using ErrorReporter = std::function<void(const std::string& text)>;

// The message for a failed creation: the code as a signed decimal, a space, its description.
std::string DeviceErrorText(d3d::HResult hr);

// The present parameters for a full-screen device in `mode` on `window`.
d3d::PresentParameters FullScreenParameters(const d3d::DisplayMode& mode, QWindow* window);

class BoxDevice {
public:
    // `screen`: the screen the device is for (none: the primary screen, or off screen).
    BoxDevice(Direct3DCreator root, ErrorReporter report, QScreen* screen = nullptr);
    ~BoxDevice();

    // True when the device exists; false after the failure has been reported.
    bool InitDevice(QWindow* window);
    // The display mode the device will have, asked of a Direct3D object of its own;
    // nothing (and no message) when there is none.
    std::optional<d3d::DisplayMode> DisplayMode() const;
    // Releases the device, then the Direct3D object.
    void ReleaseDevice();

    d3d::Device* Device() const { return device_.get(); }

private:
    uint32_t Adapter() const;

    Direct3DCreator root_;
    ErrorReporter report_;
    std::unique_ptr<d3d::Direct3D> direct3d_;
    std::unique_ptr<d3d::Device> device_;
    QPointer<QScreen> screen_;
};

} // namespace quelm
