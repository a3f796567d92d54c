#pragma once

// Antialiased drawing through GDI+'s flat API, looked up at run time
// (Windows build only). When GDI+ cannot be had, `create` gives nothing and
// each caller draws its plain-GDI fallback; no error is shown.

#include "ui/geometry.h"

#include <windows.h>

#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace zelmar::ui::win32 {

class GdiPlusCanvas {
public:
    // Loads and starts GDI+ once per process; later calls return the result.
    [[nodiscard]] static bool ensureAvailable();
    // None when GDI+ is not ready or no graphics object can be made for the DC.
    [[nodiscard]] static std::optional<GdiPlusCanvas> create(HDC dc);

    GdiPlusCanvas(GdiPlusCanvas&& other) noexcept;
    GdiPlusCanvas& operator=(GdiPlusCanvas&&) = delete;
    GdiPlusCanvas(const GdiPlusCanvas&) = delete;
    GdiPlusCanvas& operator=(const GdiPlusCanvas&) = delete;
    ~GdiPlusCanvas();

    // A solid, opaque pen with round caps and joins.
    void setPen(Rgb color, float width);
    // A dotted pen with flat caps (the cards' focus ring).
    void setDottedPen(Rgb color, float width);
    [[nodiscard]] bool hasPen() const noexcept { return pen_ != nullptr; }
    // One connected line through the points; nothing for fewer than two.
    void drawPolyline(std::span<const Point> points);
    void drawLine(Point from, Point to);
    // A rectangle with arcs of `radius` in its corners, filled and/or outlined
    // with the current pen. False when the path entry points are missing.
    [[nodiscard]] bool roundedRect(
        double left, double top, double right, double bottom, double radius, std::optional<Rgb> fill, bool outline);

    [[nodiscard]] static std::optional<std::pair<int, int>> imageSize(const wchar_t* path);
    [[nodiscard]] static bool drawImage(const wchar_t* path, HDC dc, const Rect& rect);

    // Makes the next ensureAvailable() load `dll` instead, as if for the
    // first time (tests of the fallback; GDI+ already started stays so).
    static void resetForTesting(std::wstring_view dll);

private:
    explicit GdiPlusCanvas(void* graphics) noexcept
        : graphics_(graphics)
    {
    }
    void replacePen(Rgb color, float width, int cap, int dashStyle);

    void* graphics_ = nullptr;
    void* pen_ = nullptr;
};

} // namespace zelmar::ui::win32
