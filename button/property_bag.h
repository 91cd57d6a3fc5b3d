#pragma once
// PropertyBag: the stored property set a host keeps for each button. Keys compare without
// regard to case; an entry whose value equals the default given when writing is left out,
// and a missing entry reads back as the default given when reading.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace quelm {

class PropertyBag {
public:
    // The stored value of key, or defaultValue when the set holds no such key.
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue = {}) const;
    // Stores value under key, or removes the key when value equals defaultValue
    // (numbers and their decimal text compare as numbers; fonts by face, size, weight,
    // italic, underline and strikethrough).
    void WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue = {});

    // The keys held, in the order they were first written, spelled as first written.
    QStringList Keys() const;

    // Whether two stored values count as equal (the rule WriteProperty applies).
    static bool SameValue(const QVariant& a, const QVariant& b);

private:
    struct Entry {
        QString key;
        QVariant value;
    };
    int IndexOf(const QString& key) const;
    QList<Entry> entries_;
};

} // namespace quelm
