#pragma once
// What the show's window asks of the box renderer and of the music while it loads, on its
// timers and when it ends. The window calls these in its own fixed order; the renderer and
// the music implement them, and tests put recorders in their place to check that order.
class QWindow;

namespace quelm {

class ShowRenderer {
public:
    virtual ~ShowRenderer() = default;
    // Wall pictures: write the six wall files (desktop capture or the user's pictures).
    virtual void CaptureDesktopWalls() = 0;
    virtual void PrepareUserWalls() = 0;
    // 3D device on the show's window; false after a failure has been reported.
    virtual bool InitDevice(QWindow& window) = 0;
    virtual void BuildBoxVertices() = 0;
    virtual void InitScene() = 0;
    // Seeds the random source with 1 and gives the eye its start position and speeds.
    virtual void StartMotion() = 0;
    // One tick of the frame timer: one motion step, then one frame drawn and presented.
    virtual void Tick() = 0;
    // Teardown after a click or key: the vertex buffer, then the device.
    virtual void ReleaseVertexBuffer() = 0;
    virtual void ReleaseDevice() = 0;
};

class ShowMusic {
public:
    virtual ~ShowMusic() = default;
    virtual void CDOpen() = 0;
    // One CD poll; returns whether polling goes on (the CD timer's next enabled state).
    virtual bool CDPoll() = 0;
    virtual void CDClose() = 0;
    virtual void MP3Open() = 0;
    virtual void MP3Keep() = 0;
    virtual void MP3Close() = 0;
    virtual void WAVStart() = 0;
    virtual void WAVStop() = 0;
};

} // namespace quelm
