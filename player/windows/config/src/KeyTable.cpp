#include "ombrix/windows/config/KeyTable.h"

#include <array>

namespace ombrix {
namespace {

struct Key {
    QString name;
    int code;
};

std::array<Key, KeyTable::kSize> build() {
    std::array<Key, KeyTable::kSize> keys;
    size_t i = 0;
    const std::pair<const char*, int> named[] = {
        {"BACK", 8},    {"TAB", 9},       {"RETURN", 13}, {"ESCAPE", 27}, {"SPACE", 32},
        {"PAGEUP", 33}, {"PAGEDOWN", 34}, {"END", 35},    {"HOME", 36},   {"INSERT", 45},
        {"DELETE", 46}, {"NUM *", 106},   {"NUM +", 107}, {"NUM -", 109}, {"NUM /", 111}};
    for (const auto& [name, code] : named) keys[i++] = {QString::fromLatin1(name), code};
    for (int f = 1; f <= 24; ++f) keys[i++] = {QStringLiteral("F%1").arg(f), 111 + f};
    for (char c = 'A'; c <= 'Z'; ++c) keys[i++] = {QString(QLatin1Char(c)), int(c)};
    return keys;
}

const std::array<Key, KeyTable::kSize>& table() {
    static const auto keys = build();
    return keys;
}

}  // namespace

QStringList KeyTable::names() {
    QStringList out;
    for (const Key& k : table()) out << k.name;
    return out;
}

int KeyTable::code(int index) {
    return index >= 0 && index < kSize ? table()[size_t(index)].code : -1;
}

int KeyTable::indexOfCode(int code) {
    for (int i = 0; i < kSize; ++i)
        if (table()[size_t(i)].code == code) return i;
    return -1;
}

int KeyTable::indexOfName(const QString& name) {
    for (int i = 0; i < kSize; ++i)
        if (table()[size_t(i)].name == name) return i;
    return -1;
}

QString KeyTable::label(int code) {
    const int i = indexOfCode(code);
    return i >= 0 ? table()[size_t(i)].name : QStringLiteral("(code %1)").arg(code);
}

}  // namespace ombrix
