#include "ui/chart_picture.h"

#include "ui/bitmap_font.h"
#include "ui/chart_scene.h"
#include "ui/palette.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelmar::ui {

namespace {

// Font pixels are this many picture pixels: readable from 500 × 200 up.
int fontScaleFor(int width, int height) noexcept
{
    return std::clamp(std::min(width / 500, height / 200), 1, 4);
}

// The window's sizes are written at 96 DPI; a picture scales them with its font.
int dpiFor(int fontScale) noexcept
{
    return 96 * fontScale * 3 / 4;
}

ChartScene sceneFor(const ChartPictureRequest& r, int width, int height, std::vector<ChartColumn>& columns)
{
    const int fontScale = fontScaleFor(width, height);
    const AppLanguage language = r.language;
    return chartScene(
        {
            .series = r.series,
            .window = wholeWindow(r.series->samples()),
            .zoomed = false,
            .limits = r.limits,
            .client = { 0, 0, width, height },
            .dpi = dpiFor(fontScale),
            .language = language,
            .textWidth = [fontScale](std::string_view text) { return bitmapTextWidth(text, fontScale); },
            .textHeight = (glyphHeight + 2) * fontScale,
            .formatTime = r.formatTime,
        },
        columns);
}

int clampSide(int side) noexcept
{
    return std::clamp(side, minimumPictureSide, maximumPictureSide);
}

class Raster {
public:
    Raster(int width, int height, Rgb background)
        : width_(width)
        , height_(height)
        , pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), pack(background))
    {
    }

    void fill(const Rect& r, Rgb color)
    {
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, height_); ++y)
            for (int x = std::max(r.left, 0); x < std::min(r.right, width_); ++x)
                pixels_[index(x, y)] = pack(color);
    }

    void blend(int x, int y, Rgb color, double alpha)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0)
            return;
        std::uint32_t& p = pixels_[index(x, y)];
        const auto mix = [alpha](int from, int to) {
            return static_cast<std::uint32_t>(std::lround(from + (to - from) * std::min(alpha, 1.0)));
        };
        p = mix(static_cast<int>((p >> 16) & 0xFF), color.r) << 16 | mix(static_cast<int>((p >> 8) & 0xFF), color.g) << 8
            | mix(static_cast<int>(p & 0xFF), color.b);
    }

    // A round-capped stroke, each pixel covered by its distance to the
    // segment: antialiased without supersampling.
    void stroke(Point a, Point b, double width, Rgb color)
    {
        const double half = width / 2;
        const int pad = static_cast<int>(std::ceil(half)) + 1;
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double length2 = dx * dx + dy * dy;
        for (int y = std::min(a.y, b.y) - pad; y <= std::max(a.y, b.y) + pad; ++y) {
            for (int x = std::min(a.x, b.x) - pad; x <= std::max(a.x, b.x) + pad; ++x) {
                const double t = length2 == 0 ? 0 : std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0);
                const double distance = std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
                const double coverage = std::clamp(half + 0.5 - distance, 0.0, 1.0);
                if (coverage > 0 && coverage > covered(x, y))
                    paint(x, y, color, coverage);
            }
        }
    }

    void text(std::string_view utf8, int left, int top, int scale, Rgb color)
    {
        int x = left;
        forEachCodePoint(utf8, [&](char32_t c) {
            const auto columns = glyphColumns(c);
            for (int column = 0; column < glyphWidth; ++column) {
                for (int row = 0; row < glyphHeight; ++row) {
                    if ((columns[static_cast<std::size_t>(column)] >> row) & 1)
                        fill({ x + column * scale, top + row * scale, x + (column + 1) * scale, top + (row + 1) * scale },
                            color);
                }
            }
            x += glyphAdvance * scale;
        });
    }

    // A new stroke: what earlier strokes covered is forgotten.
    void beginStroke()
    {
        if (coverage_.empty())
            coverage_.assign(pixels_.size(), 0);
        for (const std::size_t i : touched_)
            coverage_[i] = 0;
        touched_.clear();
    }

    ChartPixels take() { return { width_, height_, std::move(pixels_) }; }

private:
    static std::uint32_t pack(Rgb c) { return std::uint32_t { c.r } << 16 | std::uint32_t { c.g } << 8 | c.b; }
    [[nodiscard]] std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }
    [[nodiscard]] float covered(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage_.empty())
            return 0;
        return coverage_[index(x, y)];
    }
    // The joins of a polyline's segments are covered twice: each pixel
    // takes only what the stroke adds to what it already covers.
    void paint(int x, int y, Rgb color, double coverage)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return;
        float& before = coverage_[index(x, y)];
        if (before == 0)
            touched_.push_back(index(x, y));
        const double added = (coverage - before) / (1 - before);
        before = static_cast<float>(coverage);
        blend(x, y, color, added);
    }

    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;
    std::vector<float> coverage_;
    std::vector<std::size_t> touched_;
};

// The picture's size, scale and scene, the same for both kinds.
struct Layout {
    explicit Layout(const ChartPictureRequest& r)
        : width(clampSide(r.width))
        , height(clampSide(r.height))
        , fontScale(fontScaleFor(width, height))
        , dpi(dpiFor(fontScale))
        , colors(standardPalette().chart)
        , scene(sceneFor(r, width, height, columns))
    {
    }
    int width;
    int height;
    int fontScale;
    int dpi;
    Palette::Chart colors;
    std::vector<ChartColumn> columns;
    ChartScene scene;
};

std::string captionFor(const ChartPictureRequest& r)
{
    std::string caption = r.series->currentUnit();
    if (r.series->hidesOtherUnits())
        caption += (caption.empty() ? "" : "  ")
            + std::string(L10n::text(L10nKey::chartOtherUnitsHidden, AppLanguage::enUS));
    return caption;
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string hex(Rgb c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
    return text;
}

} // namespace

ChartPixels drawChartPixels(const ChartPictureRequest& r)
{
    const Layout layout(r);
    const auto& [width, height, fontScale, dpi, colors, columns, scene] = layout;
    Raster raster(width, height, colors.background);
    const Rect client = scene.client;
    const int line = scaleAtLeastOne(1, dpi);
    raster.fill({ 0, 0, width, 1 }, colors.border);
    raster.fill({ 0, height - 1, width, height }, colors.border);
    raster.fill({ 0, 0, 1, height }, colors.border);
    raster.fill({ width - 1, 0, width, height }, colors.border);
    const Rect& plot = scene.plot;
    if (!plotIsDrawable(plot, dpi))
        return raster.take();
    const int glyphTall = glyphHeight * fontScale;
    const std::string caption = captionFor(r);
    if (!caption.empty())
        raster.text(caption, plot.left + scale(4, dpi), client.top + scale(2, dpi) + (plot.top - scale(2, dpi) - glyphTall) / 2,
            fontScale, colors.caption);
    for (std::size_t i = 0; i < scene.grid.size(); ++i) {
        const GridLine& grid = scene.grid[i];
        raster.fill({ plot.left, grid.y, plot.right, grid.y + line }, grid.isAxis ? colors.axis : colors.grid);
        if (i < scene.valueLabels.size()) {
            const std::string& label = scene.valueLabels[i];
            raster.text(label, plot.left - scale(4, dpi) - bitmapTextWidth(label, fontScale), grid.y - glyphTall / 2,
                fontScale, colors.label);
        }
    }
    raster.fill({ plot.left, plot.top, plot.left + line, plot.bottom }, colors.axis);
    const int tick = scale(3, dpi);
    const int textTop = plot.bottom + scale(3, dpi) + fontScale;
    for (const TimeLabel& label : scene.timeLabels) {
        const int x = std::min(label.x, plot.right - line);
        raster.fill({ x, plot.bottom, x + line, plot.bottom + tick }, colors.axis);
        const int w = bitmapTextWidth(label.text, fontScale);
        const int left = label.align == LabelAlign::left ? x : label.align == LabelAlign::right ? plot.right - w : x - w / 2;
        raster.text(label.text, left, textTop, fontScale, colors.label);
    }
    const int dash = scale(6, dpi);
    for (const ChartScene::LimitLine& limit : scene.limitLines) {
        for (int x = plot.left; x < plot.right; x += 2 * dash)
            raster.fill({ x, limit.y, std::min(x + dash, plot.right), limit.y + line }, colors.limit);
    }
    const int markWidth = scaleAtLeastOne(1, dpi);
    const int markHeight = scale(6, dpi);
    for (const int x : scene.overloadColumns)
        raster.fill({ x, plot.top, x + markWidth, plot.top + markHeight }, colors.overload);
    const double traceWidth = 1.5 * dpi / 96.0;
    const int dot = scaleAtLeastOne(3, dpi);
    for (const std::vector<Point>& trace : scene.trace) {
        if (trace.size() == 2 && trace[0].x == trace[1].x && trace[1].y - trace[0].y == 1) {
            raster.fill({ trace[0].x - dot / 2, trace[0].y - dot / 2, trace[0].x - dot / 2 + dot, trace[0].y - dot / 2 + dot },
                colors.trace);
            continue;
        }
        raster.beginStroke();
        for (std::size_t i = 0; i + 1 < trace.size(); ++i)
            raster.stroke(trace[i], trace[i + 1], traceWidth, colors.trace);
    }
    return raster.take();
}

std::string drawChartSvg(const ChartPictureRequest& r)
{
    const Layout layout(r);
    const auto& [width, height, fontScale, dpi, colors, columns, scene] = layout;
    const Rect& plot = scene.plot;
    const int fontSize = 10 * fontScale; // a monospaced face advances 0.6 em: the bitmap font's 6 pixels
    std::string svg;
    const auto add = [&svg](const std::string& text) { svg += text + "\n"; };
    const auto n = [](int v) { return std::to_string(v); };
    const auto rect = [&](const Rect& box, Rgb fill) {
        add("<rect x=\"" + n(box.left) + "\" y=\"" + n(box.top) + "\" width=\"" + n(box.width()) + "\" height=\""
            + n(box.height()) + "\" fill=\"" + hex(fill) + "\"/>");
    };
    const auto text = [&](const std::string& content, int x, int y, const char* anchor, Rgb fill) {
        add("<text x=\"" + n(x) + "\" y=\"" + n(y) + "\" text-anchor=\"" + anchor + "\" fill=\"" + hex(fill) + "\">"
            + escaped(content) + "</text>");
    };
    add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + n(width) + "\" height=\"" + n(height)
        + "\" viewBox=\"0 0 " + n(width) + " " + n(height) + "\" font-family=\"DejaVu Sans Mono, monospace\" font-size=\""
        + n(fontSize) + "\">");
    add("<rect x=\"0.5\" y=\"0.5\" width=\"" + n(width - 1) + "\" height=\"" + n(height - 1) + "\" fill=\""
        + hex(colors.background) + "\" stroke=\"" + hex(colors.border) + "\"/>");
    if (plotIsDrawable(plot, dpi)) {
        const int line = scaleAtLeastOne(1, dpi);
        // Text is placed by its baseline: a third of its size below the centre.
        const int baseline = fontSize / 3;
        std::string caption = scene.caption;
        if (!caption.empty())
            text(caption, plot.left + scale(4, dpi), (scale(2, dpi) + plot.top) / 2 + baseline, "start", colors.caption);
        for (std::size_t i = 0; i < scene.grid.size(); ++i) {
            const GridLine& grid = scene.grid[i];
            rect({ plot.left, grid.y, plot.right, grid.y + line }, grid.isAxis ? colors.axis : colors.grid);
            if (i < scene.valueLabels.size())
                text(scene.valueLabels[i], plot.left - scale(4, dpi), grid.y + baseline, "end", colors.label);
        }
        rect({ plot.left, plot.top, plot.left + line, plot.bottom }, colors.axis);
        const int textY = plot.bottom + scale(3, dpi) + fontSize;
        for (const TimeLabel& label : scene.timeLabels) {
            const int x = std::min(label.x, plot.right - line);
            rect({ x, plot.bottom, x + line, plot.bottom + scale(3, dpi) }, colors.axis);
            if (label.align == LabelAlign::left)
                text(label.text, x, textY, "start", colors.label);
            else if (label.align == LabelAlign::right)
                text(label.text, plot.right, textY, "end", colors.label);
            else
                text(label.text, x, textY, "middle", colors.label);
        }
        for (const ChartScene::LimitLine& limit : scene.limitLines)
            add("<line x1=\"" + n(plot.left) + "\" y1=\"" + n(limit.y) + "\" x2=\"" + n(plot.right) + "\" y2=\""
                + n(limit.y) + "\" stroke=\"" + hex(colors.limit) + "\" stroke-dasharray=\"" + n(scale(6, dpi)) + "\"/>");
        for (const int x : scene.overloadColumns)
            rect({ x, plot.top, x + scaleAtLeastOne(1, dpi), plot.top + scale(6, dpi) }, colors.overload);
        char width[16];
        std::snprintf(width, sizeof width, "%.2f", 1.5 * dpi / 96.0);
        for (const std::vector<Point>& trace : scene.trace) {
            std::string points;
            for (const Point& p : trace)
                points += (points.empty() ? "" : " ") + n(p.x) + "," + n(p.y);
            add("<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + hex(colors.trace) + "\" stroke-width=\""
                + width + "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>");
        }
    }
    add("</svg>");
    return svg;
}

} // namespace zelmar::ui
