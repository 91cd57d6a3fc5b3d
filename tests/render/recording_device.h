#pragma once
// A Direct3D object and device that draw nothing and write every call, with its arguments,
// to one shared log, so that tests can check the order in which the renderer calls them.
// A call can be made to fail by naming it (its first word) in `failing`.
#include "platform/d3d_device.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quelm::test {

struct CallLog {
    std::vector<std::string> calls;
    std::set<std::string> failing;      // call names that answer kErrInvalidCall
    std::set<std::string> missingFiles; // file names whose texture cannot be made
    std::vector<d3d::Matrix> views;
    d3d::PresentParameters parameters; // of the last device made

    template <typename... Args> d3d::HResult Record(const std::string& name, Args... args) {
        std::string call = name;
        ((call += " " + std::to_string(uint32_t(args))), ...);
        calls.push_back(call);
        return failing.contains(name) ? d3d::kErrInvalidCall : d3d::kOk;
    }
};

class RecordingDevice final : public d3d::Device {
public:
    explicit RecordingDevice(CallLog& log) : log_(log) {}
    ~RecordingDevice() override { log_.calls.push_back("Device.Release"); }

    d3d::HResult SetRenderState(d3d::RenderState s, uint32_t v) override { return log_.Record("SetRenderState", s, v); }
    d3d::HResult SetTextureStageState(uint32_t i, d3d::TextureStageState t, uint32_t v) override {
        return log_.Record("SetTextureStageState", i, t, v);
    }
    d3d::HResult CreateTextureFromFile(const std::filesystem::path& file, d3d::TextureHandle& texture) override {
        const d3d::HResult hr = log_.Record("CreateTextureFromFile " + file.filename().string());
        const bool made = !d3d::Failed(hr) && !log_.missingFiles.contains(file.filename().string());
        texture = made ? ++last_ : 0;
        return made ? hr : d3d::kErrInvalidData;
    }
    d3d::HResult CreateTexture(uint32_t width, uint32_t height, d3d::TextureHandle& texture) override {
        const d3d::HResult hr = log_.Record("CreateTexture", width, height);
        texture = d3d::Failed(hr) ? 0 : ++last_;
        return hr;
    }
    d3d::HResult CreateMirroredTexture(d3d::TextureHandle source, d3d::TextureHandle& texture) override {
        const d3d::HResult hr = log_.Record("CreateMirroredTexture", source);
        texture = d3d::Failed(hr) ? 0 : ++last_;
        return hr;
    }
    d3d::HResult CopyToTexture(d3d::TextureHandle t, uint32_t first, uint32_t rows, const void*, uint32_t) override {
        return log_.Record("CopyToTexture", t, first, rows);
    }
    d3d::HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                    d3d::VertexBufferHandle& buffer) override {
        const d3d::HResult hr = log_.Record("CreateVertexBuffer", length, usage, fvf, pool);
        buffer = d3d::Failed(hr) ? 0 : ++last_;
        return hr;
    }
    d3d::HResult CopyToVertexBuffer(d3d::VertexBufferHandle b, uint32_t at, const void*, uint32_t n) override {
        return log_.Record("CopyToVertexBuffer", b, at, n);
    }
    d3d::HResult SetTransform(d3d::TransformState state, const d3d::Matrix& m) override {
        if (state == d3d::TransformState::View) log_.views.push_back(m);
        return log_.Record("SetTransform", state);
    }
    d3d::HResult Clear(uint32_t flags, uint32_t colour, float z, uint32_t s) override {
        return log_.Record("Clear", flags, colour, z, s);
    }
    d3d::HResult BeginScene() override { // a second BeginScene without EndScene fails
        const d3d::HResult hr = log_.Record("BeginScene");
        if (inScene_) return d3d::kErrInvalidCall;
        inScene_ = !d3d::Failed(hr);
        return hr;
    }
    d3d::HResult EndScene() override { inScene_ = false; return log_.Record("EndScene"); }
    d3d::HResult SetVertexShader(uint32_t fvf) override { return log_.Record("SetVertexShader", fvf); }
    d3d::HResult SetStreamSource(uint32_t i, d3d::VertexBufferHandle b, uint32_t stride) override {
        stream_ = b;
        return log_.Record("SetStreamSource", i, b, stride);
    }
    d3d::HResult SetTexture(uint32_t stage, d3d::TextureHandle t) override { return log_.Record("SetTexture", stage, t); }
    d3d::HResult DrawPrimitive(d3d::PrimitiveType type, uint32_t start, uint32_t count) override {
        const d3d::HResult hr = log_.Record("DrawPrimitive", type, start, count);
        return stream_ == 0 ? d3d::kErrInvalidCall : hr; // drawing from no buffer fails, as on a real device
    }
    d3d::HResult Present() override { return log_.Record("Present"); }
    d3d::HResult GetFrontBuffer(QImage&) override { return log_.Record("GetFrontBuffer"); }
    void ReleaseVertexBuffer(d3d::VertexBufferHandle b) override { log_.Record("VertexBuffer.Release", b); }

private:
    CallLog& log_;
    uint32_t last_ = 0;
    bool inScene_ = false;
    d3d::VertexBufferHandle stream_ = 0;
};

class RecordingDirect3D final : public d3d::Direct3D {
public:
    RecordingDirect3D(CallLog& log, d3d::DisplayMode mode) : log_(log), mode_(mode) {}
    ~RecordingDirect3D() override { log_.calls.push_back("Direct3D.Release"); }

    d3d::HResult GetAdapterDisplayMode(uint32_t adapter, d3d::DisplayMode& mode) override {
        mode = mode_;
        return log_.Record("GetAdapterDisplayMode", adapter);
    }
    d3d::HResult CreateDevice(uint32_t adapter, d3d::DevType type, uint32_t flags, const d3d::PresentParameters& p,
                              std::unique_ptr<d3d::Device>& device) override {
        log_.parameters = p;
        if (d3d::Failed(log_.Record("CreateDevice", adapter, type, flags))) return d3d::kErrNotAvailable;
        device = std::make_unique<RecordingDevice>(log_);
        return d3d::kOk;
    }

private:
    CallLog& log_;
    d3d::DisplayMode mode_;
};

} // namespace quelm::test
