#pragma once
// Stand-in for the Windows multimedia services the music uses: the MCI command-string
// interface (mciSendString, mciGetErrorString), the system sound player (PlaySound) and the
// count of wave output devices (waveOutGetNumDevs).
//
// Emulated: the command strings "open", "close", "play", "stop", "status" and "set … time
// format" for the devices "cdaudio" (the CD drive, see cd_audio_device.h) and "MPEGVideo"
// (a music file under an alias, see file_player.h); device names and aliases are
// case-insensitive; quoted arguments; replies written NUL-ended into the caller's buffer and
// cut to fit it (the buffer is left as it was when the command fails); the MCI error numbers
// with a description for each. Every command answers at once: sound is made by worker
// threads.
// Not emulated: the "wait" and "notify" flags and callback windows, "seek", "pause",
// "record", "capability", "info", "sysinfo", "all" as a device, and the other device types.
#include <QString>

#include <cstdint>
#include <memory>

namespace quelm::sound {

// MCI error numbers (MCIERR_BASE 256 onwards), as the Windows headers number them.
inline constexpr uint32_t MCIERR_UNRECOGNIZED_KEYWORD = 259;
inline constexpr uint32_t MCIERR_UNRECOGNIZED_COMMAND = 261;
inline constexpr uint32_t MCIERR_HARDWARE = 262;
inline constexpr uint32_t MCIERR_INVALID_DEVICE_NAME = 263;
inline constexpr uint32_t MCIERR_DEVICE_OPEN = 265;
inline constexpr uint32_t MCIERR_MISSING_COMMAND_STRING = 267;
inline constexpr uint32_t MCIERR_MISSING_STRING_ARGUMENT = 269;
inline constexpr uint32_t MCIERR_BAD_INTEGER = 270;
inline constexpr uint32_t MCIERR_MISSING_PARAMETER = 273;
inline constexpr uint32_t MCIERR_UNSUPPORTED_FUNCTION = 274;
inline constexpr uint32_t MCIERR_FILE_NOT_FOUND = 275;
inline constexpr uint32_t MCIERR_DEVICE_NOT_READY = 276;
inline constexpr uint32_t MCIERR_OUTOFRANGE = 282;
inline constexpr uint32_t MCIERR_DUPLICATE_ALIAS = 289;
inline constexpr uint32_t MCIERR_BAD_CONSTANT = 290;
inline constexpr uint32_t MCIERR_MISSING_DEVICE_NAME = 292;
inline constexpr uint32_t MCIERR_NO_CLOSING_QUOTE = 294;
inline constexpr uint32_t MCIERR_DUPLICATE_FLAGS = 295;
inline constexpr uint32_t MCIERR_INVALID_FILE = 296;
inline constexpr uint32_t MCIERR_EXTRA_CHARACTERS = 305;
inline constexpr uint32_t MCIERR_DEVICE_NOT_INSTALLED = 306;

// What the music asks of the platform. Buffers are counted in characters and include the
// room for the closing NUL.
class Multimedia {
public:
    virtual ~Multimedia() = default;
    // mciSendString: 0, or an MCI error number. On success the reply, cut to replyChars - 1
    // characters, is written into `reply` followed by a NUL (nothing when reply is null or
    // replyChars is 0); on failure `reply` is not touched.
    virtual uint32_t SendString(const QString& command, char16_t* reply, uint32_t replyChars) = 0;
    // mciGetErrorString: the description of `error`, cut to fit, NUL-ended; false for a
    // number that has none.
    virtual bool GetErrorString(uint32_t error, char16_t* text, uint32_t textChars) = 0;
    // PlaySound with a file name (nullptr: stop) and SND_ flags (sound_player.h).
    virtual bool PlaySound(const QString* sound, uint32_t flags) = 0;
    // waveOutGetNumDevs.
    virtual uint32_t WaveOutDeviceCount() = 0;
};

// The real services: CD drive or image, music files and the sound server. Devices still
// open are closed, and sounds stopped, when it is destroyed.
std::unique_ptr<Multimedia> MakeSystemMultimedia();

// Writes `text` NUL-ended into `buffer`, cut to fit `chars` (which counts the NUL).
void CopyReply(const QString& text, char16_t* buffer, uint32_t chars);

} // namespace quelm::sound
