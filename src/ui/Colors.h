// Colours of the console. Windows-style colour constants are 0x00BBGGRR; ColorRef turns them into
// QColor so that every such constant is written once, as given, and converted in one place.
#pragma once

#include <QColor>

#include <cstdint>

constexpr QColor ColorRef(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

// 0xAARRGGBB, as painted with alpha: taken as it stands.
inline QColor ColorArgb(uint32_t argb) {
    return QColor::fromRgba(argb);
}

// The background of every page and tool window.
constexpr uint32_t kPageColorRef = 0xFFFAF0;
constexpr QColor PageColor() {
    return ColorRef(kPageColorRef);
}
