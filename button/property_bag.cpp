#include "button/property_bag.h"

#include <QFont>

namespace quelm {
namespace {

bool IsNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float: return true;
    default: return false;
    }
}

// A number, or the decimal text of one; nothing otherwise.
std::optional<double> AsNumber(const QVariant& v) {
    if (IsNumber(v)) return v.toDouble();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (ok) return d;
    }
    return std::nullopt;
}

bool SameFont(const QFont& a, const QFont& b) {
    return a.family() == b.family() && a.pointSizeF() == b.pointSizeF() && a.pixelSize() == b.pixelSize() &&
           a.weight() == b.weight() && a.italic() == b.italic() && a.underline() == b.underline() &&
           a.strikeOut() == b.strikeOut();
}

} // namespace

bool PropertyBag::SameValue(const QVariant& a, const QVariant& b) {
    if (!a.isValid() || !b.isValid()) return a.isValid() == b.isValid();
    if (a.typeId() == QMetaType::QFont || b.typeId() == QMetaType::QFont)
        return a.typeId() == b.typeId() && SameFont(a.value<QFont>(), b.value<QFont>());
    // A number equals its decimal text ("1" and 1), as when the stored set compares them.
    if (IsNumber(a) || IsNumber(b)) {
        const auto na = AsNumber(a), nb = AsNumber(b);
        return na && nb && *na == *nb;
    }
    return a.typeId() == b.typeId() && a == b;
}

int PropertyBag::IndexOf(const QString& key) const {
    for (int i = 0; i < entries_.size(); ++i) {
        if (entries_[i].key.compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const {
    const int i = IndexOf(key);
    return i < 0 ? defaultValue : entries_[i].value;
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue) {
    const int i = IndexOf(key);
    if (SameValue(value, defaultValue)) {
        if (i >= 0) entries_.removeAt(i);
        return;
    }
    if (i >= 0)
        entries_[i].value = value;
    else
        entries_.append(Entry{key, value});
}

QStringList PropertyBag::Keys() const {
    QStringList keys;
    for (const Entry& e : entries_) keys.append(e.key);
    return keys;
}

} // namespace quelm
