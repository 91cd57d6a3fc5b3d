#pragma once
// A Direct3D object and device that draw nothing and write every call, with its arguments,
// to one shared log, so that tests can check the order in which the renderer calls them.
// A call can be made to fail by naming it (its first word) in `failing`.
#include "platform/d3d_device.h"

#include <QImage>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quelm::test {

struct CallLog {
    std::vector<std::string> calls;
    std::set<std::string> failing;   // call names that answer kErrInvalidCall
    std::set<std::string> missingFiles; // file names whose texture cannot be made
    d3d::PresentParameters lastParameters;
    std::vector<d3d::Matrix> views;
    std::vector<d3d::Matrix> projections;

    d3d::HResult Record(const std::string& call) {
        calls.push_back(call);
        std::istringstream words(call);
        std::string name;
        words >> name;
        return failing.contains(name) ? d3d::kErrInvalidCall : d3d::kOk;
    }
    // The calls from the first one starting with `prefix` on.
    std::vector<std::string> From(const std::string& prefix) const {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0)
                return {calls.begin() + long(i), calls.end()};
        return {};
    }
};

class RecordingDevice final : public d3d::Device {
public:
    explicit RecordingDevice(CallLog& log) : log_(log) {}
    ~RecordingDevice() override { log_.calls.push_back("Device.Release"); }

    d3d::HResult SetRenderState(d3d::RenderState state, uint32_t value) override {
        return log_.Record("SetRenderState " + N(uint32_t(state)) + " " + N(value));
    }
    d3d::HResult SetTextureStageState(uint32_t stage, d3d::TextureStageState type, uint32_t value) override {
        return log_.Record("SetTextureStageState " + N(stage) + " " + N(uint32_t(type)) + " " + N(value));
    }
    d3d::HResult CreateTextureFromFile(const std::filesystem::path& file, d3d::TextureHandle& texture) override {
        const d3d::HResult hr = log_.Record("CreateTextureFromFile " + file.filename().string());
        if (d3d::Failed(hr) || log_.missingFiles.contains(file.filename().string())) {
            texture = 0;
            return d3d::kErrInvalidData;
        }
        texture = ++last_;
        return hr;
    }
    d3d::HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                    d3d::VertexBufferHandle& buffer) override {
        const d3d::HResult hr =
            log_.Record("CreateVertexBuffer " + N(length) + " " + N(usage) + " " + N(fvf) + " " + N(pool));
        buffer = d3d::Failed(hr) ? 0 : ++last_;
        return hr;
    }
    d3d::HResult CopyToVertexBuffer(d3d::VertexBufferHandle buffer, uint32_t offset, const void* data,
                                    uint32_t size) override {
        copied.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        return log_.Record("CopyToVertexBuffer " + N(buffer) + " " + N(offset) + " " + N(size));
    }
    d3d::HResult SetTransform(d3d::TransformState state, const d3d::Matrix& matrix) override {
        (state == d3d::TransformState::View ? log_.views : log_.projections).push_back(matrix);
        return log_.Record("SetTransform " + N(uint32_t(state)));
    }
    d3d::HResult Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) override {
        std::ostringstream text;
        text << "Clear " << flags << " " << color << " " << z << " " << stencil;
        return log_.Record(text.str());
    }
    d3d::HResult BeginScene() override {
        if (inScene_) {
            log_.calls.push_back("BeginScene");
            return d3d::kErrInvalidCall;
        }
        const d3d::HResult hr = log_.Record("BeginScene");
        inScene_ = !d3d::Failed(hr);
        return hr;
    }
    d3d::HResult EndScene() override {
        inScene_ = false;
        return log_.Record("EndScene");
    }
    d3d::HResult SetVertexShader(uint32_t fvf) override { return log_.Record("SetVertexShader " + N(fvf)); }
    d3d::HResult SetStreamSource(uint32_t stream, d3d::VertexBufferHandle buffer, uint32_t stride) override {
        streamBuffer_ = buffer;
        return log_.Record("SetStreamSource " + N(stream) + " " + N(buffer) + " " + N(stride));
    }
    d3d::HResult SetTexture(uint32_t stage, d3d::TextureHandle texture) override {
        return log_.Record("SetTexture " + N(stage) + " " + N(texture));
    }
    d3d::HResult DrawPrimitive(d3d::PrimitiveType type, uint32_t startVertex, uint32_t count) override {
        const d3d::HResult hr = log_.Record("DrawPrimitive " + N(uint32_t(type)) + " " + N(startVertex) + " " + N(count));
        // Drawing from no vertex buffer fails, as on the real device.
        return streamBuffer_ == 0 ? d3d::kErrInvalidCall : hr;
    }
    d3d::HResult Present() override { return log_.Record("Present"); }
    d3d::HResult GetFrontBuffer(QImage&) override { return log_.Record("GetFrontBuffer"); }
    void ReleaseVertexBuffer(d3d::VertexBufferHandle buffer) override {
        log_.calls.push_back("VertexBuffer.Release " + N(buffer));
    }

    std::vector<char> copied;

private:
    static std::string N(uint32_t v) { return std::to_string(v); }
    CallLog& log_;
    uint32_t last_ = 0;
    bool inScene_ = false;
    d3d::VertexBufferHandle streamBuffer_ = 0;
};

class RecordingDirect3D final : public d3d::Direct3D {
public:
    RecordingDirect3D(CallLog& log, d3d::DisplayMode mode) : log_(log), mode_(mode) {}
    ~RecordingDirect3D() override { log_.calls.push_back("Direct3D.Release"); }

    d3d::HResult GetAdapterDisplayMode(uint32_t adapter, d3d::DisplayMode& mode) override {
        mode = mode_;
        return log_.Record("GetAdapterDisplayMode " + std::to_string(adapter));
    }
    d3d::HResult CreateDevice(uint32_t adapter, d3d::DevType type, uint32_t flags,
                              const d3d::PresentParameters& parameters, std::unique_ptr<d3d::Device>& device) override {
        log_.lastParameters = parameters;
        const d3d::HResult hr = log_.Record("CreateDevice " + std::to_string(adapter) + " " +
                                            std::to_string(uint32_t(type)) + " " + std::to_string(flags));
        if (d3d::Failed(hr))
            return d3d::kErrNotAvailable;
        auto made = std::make_unique<RecordingDevice>(log_);
        lastDevice = made.get();
        device = std::move(made);
        return d3d::kOk;
    }

    RecordingDevice* lastDevice = nullptr;

private:
    CallLog& log_;
    d3d::DisplayMode mode_;
};

} // namespace quelm::test
