#include "platform/sound/mci.h"

#include "platform/sound/detail/cd_audio_device.h"
#include "platform/sound/detail/file_player.h"
#include "platform/sound/sound_player.h"

#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace quelm::sound {
namespace {

struct ErrorText {
    uint32_t number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "The specified command was carried out."},
    {MCIERR_UNRECOGNIZED_KEYWORD, "The driver cannot recognize the specified command parameter."},
    {MCIERR_UNRECOGNIZED_COMMAND, "The driver cannot recognize the specified command."},
    {MCIERR_HARDWARE, "No sound server answers, so the device cannot play."},
    {MCIERR_INVALID_DEVICE_NAME, "The specified device is not open or is not recognized by MCI."},
    {MCIERR_DEVICE_OPEN, "The device name is already being used as an alias by this application. Use a unique alias."},
    {MCIERR_MISSING_COMMAND_STRING, "No command was specified."},
    {MCIERR_MISSING_STRING_ARGUMENT,
     "The specified command requires a character-string parameter. Please provide one."},
    {MCIERR_BAD_INTEGER, "The specified integer is invalid for this command."},
    {MCIERR_MISSING_PARAMETER, "The specified command requires a parameter. Please supply one."},
    {MCIERR_UNSUPPORTED_FUNCTION, "The MCI device you are using does not support the specified command."},
    {MCIERR_FILE_NOT_FOUND, "Cannot find the specified file. Make sure the path and filename are correct."},
    {MCIERR_DEVICE_NOT_READY, "The device is not ready: there is no disc in the drive."},
    {MCIERR_OUTOFRANGE, "The specified parameter is out of range for the specified command."},
    {MCIERR_DUPLICATE_ALIAS, "The specified alias is already being used in this application. Use a unique alias."},
    {MCIERR_BAD_CONSTANT, "The specified parameter value is invalid for this command."},
    {MCIERR_MISSING_DEVICE_NAME, "No device name was given. Specify one."},
    {MCIERR_NO_CLOSING_QUOTE, "A closing quotation mark is missing."},
    {MCIERR_DUPLICATE_FLAGS, "A parameter or value was specified twice. Only specify it once."},
    {MCIERR_INVALID_FILE, "The specified file cannot be played on the specified MCI device. The file may be "
                          "corrupt, or not in a format the device can play."},
    {MCIERR_EXTRA_CHARACTERS, "A parameter is followed by characters that do not belong to it. Put quotation "
                              "marks around the whole parameter, and nothing after them."},
    {MCIERR_DEVICE_NOT_INSTALLED, "The specified device is not installed on the system: there is no CD drive."},
};

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Splits a command into words; a word in double quotes may hold blanks. Quotes inside a
// word, or a quoted word run on into other characters, are refused rather than guessed at.
uint32_t SplitWords(const QString& command, QStringList* words) {
    const qsizetype n = command.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && IsBlank(command[i])) ++i;
        if (i >= n) return 0;
        if (command[i] == u'"') {
            const qsizetype close = command.indexOf(u'"', i + 1);
            if (close < 0) return MCIERR_NO_CLOSING_QUOTE;
            if (close + 1 < n && !IsBlank(command[close + 1])) return MCIERR_EXTRA_CHARACTERS;
            words->append(command.mid(i + 1, close - i - 1));
            i = close + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !IsBlank(command[i])) {
                if (command[i] == u'"') return MCIERR_EXTRA_CHARACTERS;
                ++i;
            }
            words->append(command.mid(start, i - start));
        }
    }
}

std::optional<int64_t> ReadCount(const QString& text) {
    if (text.isEmpty() || text.size() > 12) return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    return text.toLongLong();
}

struct Device {
    std::unique_ptr<CdAudioDevice> cd;
    std::unique_ptr<FilePlayer> file;
    CdTimeFormat format = CdTimeFormat::Msf;
};

class SystemMultimedia final : public Multimedia {
public:
    ~SystemMultimedia() override {
        devices_.clear();
        sound_.PlaySound(nullptr, 0);
    }

    uint32_t SendString(const QString& command, char16_t* reply, uint32_t replyChars) override {
        QString answer;
        const uint32_t result = Run(command, &answer);
        if (result == 0) CopyReply(answer, reply, replyChars);
        return result;
    }

    bool GetErrorString(uint32_t error, char16_t* text, uint32_t textChars) override {
        for (const ErrorText& e : kErrorTexts) {
            if (e.number == error) {
                CopyReply(QString::fromUtf8(e.text), text, textChars);
                return true;
            }
        }
        return false;
    }

    bool PlaySound(const QString* sound, uint32_t flags) override { return sound_.PlaySound(sound, flags); }

    uint32_t WaveOutDeviceCount() override { return sound::WaveOutDeviceCount(); }

private:
    uint32_t Run(const QString& command, QString* answer) {
        QStringList words;
        if (const uint32_t e = SplitWords(command, &words)) return e;
        if (words.isEmpty()) return MCIERR_MISSING_COMMAND_STRING;
        const QString verb = words[0].toLower();
        if (verb != u"open" && verb != u"close" && verb != u"play" && verb != u"stop" && verb != u"status" &&
            verb != u"set")
            return MCIERR_UNRECOGNIZED_COMMAND;
        if (words.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
        if (verb == u"open") return Open(words, answer);
        const QString name = words[1].toLower();
        const auto found = devices_.find(name);
        if (found == devices_.end()) return MCIERR_INVALID_DEVICE_NAME;
        Device& device = found->second;
        const QStringList rest = words.mid(2);
        if (verb == u"close") {
            if (!rest.isEmpty()) return MCIERR_UNRECOGNIZED_KEYWORD;
            devices_.erase(found);
            return 0;
        }
        if (verb == u"stop") {
            if (!rest.isEmpty()) return MCIERR_UNRECOGNIZED_KEYWORD;
            if (device.cd)
                device.cd->Stop();
            else
                device.file->Stop();
            return 0;
        }
        if (verb == u"play") return Play(device, rest);
        if (verb == u"set") return Set(device, rest);
        return Status(device, rest, answer);
    }

    uint32_t Open(const QStringList& words, QString* answer) {
        const QString element = words[1];
        std::optional<QString> type, alias;
        for (qsizetype i = 2; i < words.size(); ++i) {
            const QString flag = words[i].toLower();
            if (flag == u"shareable") continue;
            std::optional<QString>* slot = flag == u"type" ? &type : flag == u"alias" ? &alias : nullptr;
            if (!slot) return MCIERR_UNRECOGNIZED_KEYWORD;
            if (slot->has_value()) return MCIERR_DUPLICATE_FLAGS;
            if (++i >= words.size()) return MCIERR_MISSING_STRING_ARGUMENT;
            *slot = words[i];
        }
        const QString kind = type                              ? type->toLower()
                             : element.toLower() == u"cdaudio" ? QStringLiteral("cdaudio")
                                                               : QStringLiteral("mpegvideo");
        if (kind != u"cdaudio" && kind != u"mpegvideo") return MCIERR_INVALID_DEVICE_NAME;
        const QString name = (alias                           ? *alias
                              : (kind == u"cdaudio" && !type) ? QStringLiteral("cdaudio")
                                                              : element)
                                 .toLower();
        if (name.isEmpty()) return MCIERR_MISSING_DEVICE_NAME;
        if (devices_.count(name)) return alias ? MCIERR_DUPLICATE_ALIAS : MCIERR_DEVICE_OPEN;
        Device device;
        if (kind == u"cdaudio") {
            device.cd = CdAudioDevice::Open();
            if (!device.cd) return MCIERR_DEVICE_NOT_INSTALLED;
        } else {
            FileOpenResult result;
            device.file = FilePlayer::Open(element, &result);
            if (!device.file) return result == FileOpenResult::NotFound ? MCIERR_FILE_NOT_FOUND : MCIERR_INVALID_FILE;
            device.format = CdTimeFormat::Milliseconds;
        }
        devices_.emplace(name, std::move(device));
        *answer = QString::number(++lastId_);
        return 0;
    }

    // Reads "from P" and "to P" in the device's time format.
    uint32_t Play(Device& device, const QStringList& rest) {
        std::optional<int64_t> from, to;
        for (qsizetype i = 0; i < rest.size(); ++i) {
            const QString flag = rest[i].toLower();
            std::optional<int64_t>* slot = flag == u"from" ? &from : flag == u"to" ? &to : nullptr;
            if (!slot) return MCIERR_UNRECOGNIZED_KEYWORD;
            if (slot->has_value()) return MCIERR_DUPLICATE_FLAGS;
            if (++i >= rest.size()) return MCIERR_MISSING_PARAMETER;
            if (device.cd) {
                if (!device.cd->HasDisc()) return MCIERR_DEVICE_NOT_READY;
                bool outOfRange = false;
                *slot = device.cd->ParsePosition(rest[i].toStdString(), device.format, slot == &to, &outOfRange);
                if (!slot->has_value()) return outOfRange ? MCIERR_OUTOFRANGE : MCIERR_BAD_INTEGER;
            } else {
                *slot = ReadCount(rest[i]);
                if (!slot->has_value()) return MCIERR_BAD_INTEGER;
                if (**slot > device.file->LengthMs()) return MCIERR_OUTOFRANGE;
            }
        }
        if (from && to && *to < *from) return MCIERR_OUTOFRANGE;
        std::string error;
        if (device.cd) {
            if (!device.cd->HasDisc()) return MCIERR_DEVICE_NOT_READY;
            switch (device.cd->Play(from, to, &error)) {
            case CdPlay::Started: return 0;
            case CdPlay::NoSound: return MCIERR_HARDWARE;
            case CdPlay::NoAudio: return MCIERR_OUTOFRANGE; // a data track
            }
        }
        return device.file->Play(from, to, &error) ? 0 : MCIERR_HARDWARE;
    }

    uint32_t Set(Device& device, const QStringList& rest) {
        if (rest.size() < 2 || rest[0].toLower() != u"time" || rest[1].toLower() != u"format")
            return rest.isEmpty() ? MCIERR_MISSING_PARAMETER : MCIERR_UNSUPPORTED_FUNCTION;
        if (rest.size() < 3) return MCIERR_MISSING_PARAMETER;
        if (rest.size() > 3) return MCIERR_UNRECOGNIZED_KEYWORD;
        const QString format = rest[2].toLower();
        if (format == u"milliseconds" || format == u"ms")
            device.format = CdTimeFormat::Milliseconds;
        else if (device.cd && format == u"msf")
            device.format = CdTimeFormat::Msf;
        else if (device.cd && format == u"tmsf")
            device.format = CdTimeFormat::Tmsf;
        else
            return MCIERR_BAD_CONSTANT;
        return 0;
    }

    uint32_t Status(Device& device, const QStringList& rest, QString* answer) {
        if (rest.isEmpty()) return MCIERR_MISSING_PARAMETER;
        const QString item = rest.join(u' ').toLower();
        if (item == u"time format") {
            *answer = device.format == CdTimeFormat::Msf    ? QStringLiteral("msf")
                      : device.format == CdTimeFormat::Tmsf ? QStringLiteral("tmsf")
                                                            : QStringLiteral("milliseconds");
            return 0;
        }
        if (device.file) {
            if (item == u"mode")
                *answer = device.file->Playing() ? QStringLiteral("playing") : QStringLiteral("stopped");
            else if (item == u"position")
                *answer = QString::number(device.file->PositionMs());
            else if (item == u"length")
                *answer = QString::number(device.file->LengthMs());
            else if (item == u"ready")
                *answer = QStringLiteral("true");
            else
                return MCIERR_UNRECOGNIZED_KEYWORD;
            return 0;
        }
        CdAudioDevice& cd = *device.cd;
        if (item == u"mode") {
            *answer = !cd.HasDisc()  ? QStringLiteral("not ready")
                      : cd.Playing() ? QStringLiteral("playing")
                                     : QStringLiteral("stopped");
            return 0;
        }
        if (item == u"media present" || item == u"ready") {
            *answer = cd.HasDisc() ? QStringLiteral("true") : QStringLiteral("false");
            return 0;
        }
        if (!cd.HasDisc()) return MCIERR_DEVICE_NOT_READY;
        if (item == u"current track")
            *answer = QString::number(cd.CurrentTrack());
        else if (item == u"number of tracks")
            *answer = QString::number(cd.TrackCount());
        else if (item == u"position")
            *answer = QString::fromStdString(cd.PositionText(cd.Position(), device.format));
        else if (item == u"length")
            *answer =
                QString::fromStdString(cd.LengthText(cd.DiscEnd() - cd.TrackStart(cd.FirstTrack()), device.format));
        else if (rest.size() == 3 && (rest[0].toLower() == u"position" || rest[0].toLower() == u"length") &&
                 rest[1].toLower() == u"track") {
            const std::optional<int64_t> track = ReadCount(rest[2]);
            if (!track) return MCIERR_BAD_INTEGER;
            const int t = *track > 99 ? -1 : static_cast<int>(*track);
            if (cd.TrackStart(t) < 0) return MCIERR_OUTOFRANGE;
            *answer = QString::fromStdString(rest[0].toLower() == u"position"
                                                 ? cd.PositionText(cd.TrackStart(t), device.format)
                                                 : cd.LengthText(cd.TrackLength(t), device.format));
        } else if (rest[0].toLower() == u"position" || rest[0].toLower() == u"length") {
            return rest.size() == 2 && rest[1].toLower() == u"track" ? MCIERR_MISSING_PARAMETER
                                                                     : MCIERR_UNRECOGNIZED_KEYWORD;
        } else {
            return MCIERR_UNRECOGNIZED_KEYWORD;
        }
        return 0;
    }

    std::map<QString, Device> devices_;
    SoundPlayer sound_;
    uint32_t lastId_ = 0;
};

} // namespace

void CopyReply(const QString& text, char16_t* buffer, uint32_t chars) {
    if (!buffer || chars == 0) return;
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(text.size()), chars - 1);
    for (uint32_t i = 0; i < n; ++i) buffer[i] = text[static_cast<qsizetype>(i)].unicode();
    buffer[n] = u'\0';
}

std::unique_ptr<Multimedia> MakeSystemMultimedia() { return std::make_unique<SystemMultimedia>(); }

} // namespace quelm::sound
