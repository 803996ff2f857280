// Scaling of sizes designed at 96 DPI to a display's DPI, free of windows.
// Every size the host draws is written down at 96 DPI and scaled once, with
// one rounding, when a window or a font is made for a display.
#pragma once

constexpr int kDesignDpi = 96;

// value (at 96 DPI) at dpi, rounded to the nearest pixel, halves away from
// zero, so that a negative anchor scales as its positive twin does; 96 DPI
// (and any dpi that is not positive) leaves it unchanged.
constexpr int ScaleToDpi(int value, int dpi) {
    if (dpi <= 0 || dpi == kDesignDpi) return value;
    const long long product = static_cast<long long>(value) * dpi;
    const long long rounded =
        product >= 0 ? (product + kDesignDpi / 2) / kDesignDpi : -((-product + kDesignDpi / 2) / kDesignDpi);
    return static_cast<int>(rounded);
}

constexpr float ScaleToDpi(float value, int dpi) {
    return dpi <= 0 ? value : value * static_cast<float>(dpi) / kDesignDpi;
}

// The pictures come rendered at 100, 150 and 200 percent; the render nearest
// to dpi's scale (ties go to the larger, which shrinks more cleanly), in percent.
constexpr int NearestPictureScale(int dpi) {
    constexpr int kScales[] = {100, 150, 200};
    const int wanted = dpi <= 0 ? 100 : dpi * 100 / kDesignDpi;
    int best = kScales[0];
    for (int scale : kScales) {
        const int distance = scale > wanted ? scale - wanted : wanted - scale;
        const int bestDistance = best > wanted ? best - wanted : wanted - best;
        if (distance <= bestDistance) best = scale;
    }
    return best;
}

// A dialog's scale: one DPI, and the sizes of its design turned into pixels.
class DpiScale {
public:
    constexpr DpiScale() = default;
    constexpr explicit DpiScale(int dpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}
    constexpr int Dpi() const { return dpi_; }
    constexpr int Px(int value) const { return ScaleToDpi(value, dpi_); }
    constexpr float Px(float value) const { return ScaleToDpi(value, dpi_); }

private:
    int dpi_ = kDesignDpi;
};
