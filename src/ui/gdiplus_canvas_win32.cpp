#include "ui/gdiplus_canvas_win32.h"

#include "core/diagnostic_log.h"

#include <array>
#include <string>

namespace zelmar::ui::win32 {

namespace {

using Status = int;
using GpGraphics = void;
using GpPen = void;
using GpPath = void;
using GpBrush = void;
using GpImage = void;
struct GpPoint {
    INT x;
    INT y;
};
struct StartupInput {
    UINT32 version = 1;
    void* debugCallback = nullptr;
    BOOL suppressBackgroundThread = FALSE;
    BOOL suppressExternalCodecs = FALSE;
};

constexpr int smoothingAntiAlias = 4;
constexpr int interpolationHighQualityBicubic = 7;
constexpr int unitPixel = 2;
constexpr int capFlat = 0;
constexpr int capRound = 2;
constexpr int joinRound = 2;
constexpr int dashSolid = 0;
constexpr int dashDot = 2;
constexpr int fillModeAlternate = 0;

struct Api {
    Status(WINAPI* startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
    Status(WINAPI* createFromHDC)(HDC, GpGraphics**) = nullptr;
    Status(WINAPI* deleteGraphics)(GpGraphics*) = nullptr;
    Status(WINAPI* setSmoothingMode)(GpGraphics*, int) = nullptr;
    Status(WINAPI* setInterpolationMode)(GpGraphics*, int) = nullptr;
    Status(WINAPI* createPen1)(DWORD, float, int, GpPen**) = nullptr;
    Status(WINAPI* deletePen)(GpPen*) = nullptr;
    Status(WINAPI* setPenStartCap)(GpPen*, int) = nullptr;
    Status(WINAPI* setPenEndCap)(GpPen*, int) = nullptr;
    Status(WINAPI* setPenLineJoin)(GpPen*, int) = nullptr;
    Status(WINAPI* drawLinesI)(GpGraphics*, GpPen*, const GpPoint*, INT) = nullptr;
    Status(WINAPI* drawLineI)(GpGraphics*, GpPen*, INT, INT, INT, INT) = nullptr;
    Status(WINAPI* loadImageFromFile)(const WCHAR*, GpImage**) = nullptr;
    Status(WINAPI* getImageWidth)(GpImage*, UINT*) = nullptr;
    Status(WINAPI* getImageHeight)(GpImage*, UINT*) = nullptr;
    Status(WINAPI* drawImageRectI)(GpGraphics*, GpImage*, INT, INT, INT, INT) = nullptr;
    Status(WINAPI* createPath)(int, GpPath**) = nullptr;
    Status(WINAPI* deletePath)(GpPath*) = nullptr;
    Status(WINAPI* addPathArc)(GpPath*, float, float, float, float, float, float) = nullptr;
    Status(WINAPI* closePathFigure)(GpPath*) = nullptr;
    Status(WINAPI* createSolidFill)(DWORD, GpBrush**) = nullptr;
    Status(WINAPI* deleteBrush)(GpBrush*) = nullptr;
    Status(WINAPI* fillPath)(GpGraphics*, GpBrush*, GpPath*) = nullptr;
    Status(WINAPI* drawPath)(GpGraphics*, GpPen*, GpPath*) = nullptr;
    Status(WINAPI* setPenDashStyle)(GpPen*, int) = nullptr;
    // Not among the entries the design lists, but an image loaded without it
    // would never be freed; images are drawn only when it is present.
    Status(WINAPI* disposeImage)(GpImage*) = nullptr;

    [[nodiscard]] bool hasPaths() const noexcept
    {
        return createPath && addPathArc && closePathFigure && deletePath && fillPath && drawPath && createSolidFill
            && deleteBrush;
    }
    [[nodiscard]] bool hasImages() const noexcept
    {
        return loadImageFromFile && getImageWidth && getImageHeight && drawImageRectI && disposeImage;
    }
};

// Process-wide loader state; touched on the UI thread only.
struct Loader {
    std::wstring dll = L"gdiplus.dll";
    HMODULE module = nullptr;
    ULONG_PTR token = 0;
    bool attempted = false;
    bool ready = false;
    Api api;
};

Loader& loader()
{
    static Loader instance;
    return instance;
}

template <typename F> void lookUp(HMODULE module, F& slot, const char* name)
{
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool load(Loader& l)
{
    l.module = LoadLibraryExW(l.dll.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (l.module == nullptr) {
        log::write(log::Module::ui, "gdiplus.dll 載入失敗，曲線與商標改走 GDI 後援");
        return false;
    }
    Api& a = l.api;
    lookUp(l.module, a.startup, "GdiplusStartup");
    if (!a.startup)
        return false;
    lookUp(l.module, a.createFromHDC, "GdipCreateFromHDC");
    lookUp(l.module, a.deleteGraphics, "GdipDeleteGraphics");
    lookUp(l.module, a.setSmoothingMode, "GdipSetSmoothingMode");
    lookUp(l.module, a.setInterpolationMode, "GdipSetInterpolationMode");
    lookUp(l.module, a.createPen1, "GdipCreatePen1");
    lookUp(l.module, a.deletePen, "GdipDeletePen");
    lookUp(l.module, a.setPenStartCap, "GdipSetPenStartCap");
    lookUp(l.module, a.setPenEndCap, "GdipSetPenEndCap");
    lookUp(l.module, a.setPenLineJoin, "GdipSetPenLineJoin");
    lookUp(l.module, a.drawLinesI, "GdipDrawLinesI");
    lookUp(l.module, a.drawLineI, "GdipDrawLineI");
    lookUp(l.module, a.loadImageFromFile, "GdipLoadImageFromFile");
    lookUp(l.module, a.getImageWidth, "GdipGetImageWidth");
    lookUp(l.module, a.getImageHeight, "GdipGetImageHeight");
    lookUp(l.module, a.drawImageRectI, "GdipDrawImageRectI");
    lookUp(l.module, a.createPath, "GdipCreatePath");
    lookUp(l.module, a.deletePath, "GdipDeletePath");
    lookUp(l.module, a.addPathArc, "GdipAddPathArc");
    lookUp(l.module, a.closePathFigure, "GdipClosePathFigure");
    lookUp(l.module, a.createSolidFill, "GdipCreateSolidFill");
    lookUp(l.module, a.deleteBrush, "GdipDeleteBrush");
    lookUp(l.module, a.fillPath, "GdipFillPath");
    lookUp(l.module, a.drawPath, "GdipDrawPath");
    lookUp(l.module, a.setPenDashStyle, "GdipSetPenDashStyle");
    lookUp(l.module, a.disposeImage, "GdipDisposeImage");
    if (!a.createFromHDC || !a.deleteGraphics || !a.createPen1 || !a.deletePen || !a.drawLinesI || !a.drawLineI) {
        log::write(log::Module::ui, "gdiplus flat API 進入點不齊全，曲線與商標改走 GDI 後援");
        return false;
    }
    const StartupInput input;
    if (a.startup(&l.token, &input, nullptr) != 0) {
        log::write(log::Module::ui, "GdiplusStartup 失敗，曲線與商標改走 GDI 後援");
        return false;
    }
    return true;
}

const Api& api()
{
    return loader().api;
}

// A graphics object for one call, deleted on every path.
class ScopedGraphics {
public:
    explicit ScopedGraphics(HDC dc)
    {
        if (api().createFromHDC(dc, &graphics_) != 0)
            graphics_ = nullptr;
    }
    ~ScopedGraphics()
    {
        if (graphics_ != nullptr)
            api().deleteGraphics(graphics_);
    }
    ScopedGraphics(const ScopedGraphics&) = delete;
    ScopedGraphics& operator=(const ScopedGraphics&) = delete;
    [[nodiscard]] GpGraphics* get() const noexcept { return graphics_; }

private:
    GpGraphics* graphics_ = nullptr;
};

class ScopedImage {
public:
    explicit ScopedImage(const wchar_t* path)
    {
        if (api().loadImageFromFile(path, &image_) != 0)
            image_ = nullptr;
    }
    ~ScopedImage()
    {
        if (image_ != nullptr)
            api().disposeImage(image_);
    }
    ScopedImage(const ScopedImage&) = delete;
    ScopedImage& operator=(const ScopedImage&) = delete;
    [[nodiscard]] GpImage* get() const noexcept { return image_; }

private:
    GpImage* image_ = nullptr;
};

} // namespace

bool GdiPlusCanvas::ensureAvailable()
{
    Loader& l = loader();
    if (!l.attempted) {
        l.attempted = true;
        l.ready = load(l);
    }
    return l.ready;
}

void GdiPlusCanvas::resetForTesting(std::wstring_view dll)
{
    Loader& l = loader();
    l.dll.assign(dll);
    l.attempted = false;
    l.ready = false;
    l.api = Api {};
}

std::optional<GdiPlusCanvas> GdiPlusCanvas::create(HDC dc)
{
    if (!ensureAvailable())
        return std::nullopt;
    GpGraphics* graphics = nullptr;
    if (api().createFromHDC(dc, &graphics) != 0 || graphics == nullptr)
        return std::nullopt;
    if (api().setSmoothingMode)
        api().setSmoothingMode(graphics, smoothingAntiAlias);
    return GdiPlusCanvas(graphics);
}

GdiPlusCanvas::GdiPlusCanvas(GdiPlusCanvas&& other) noexcept
    : graphics_(std::exchange(other.graphics_, nullptr))
    , pen_(std::exchange(other.pen_, nullptr))
{
}

GdiPlusCanvas::~GdiPlusCanvas()
{
    if (pen_ != nullptr)
        api().deletePen(pen_);
    if (graphics_ != nullptr)
        api().deleteGraphics(graphics_);
}

void GdiPlusCanvas::replacePen(Rgb color, float width, int cap, int dashStyle)
{
    if (pen_ != nullptr) {
        api().deletePen(pen_);
        pen_ = nullptr;
    }
    if (api().createPen1(color.opaqueArgb(), width, unitPixel, &pen_) != 0) {
        pen_ = nullptr;
        return;
    }
    if (api().setPenStartCap)
        api().setPenStartCap(pen_, cap);
    if (api().setPenEndCap)
        api().setPenEndCap(pen_, cap);
    if (api().setPenLineJoin)
        api().setPenLineJoin(pen_, joinRound);
    if (dashStyle != dashSolid && api().setPenDashStyle)
        api().setPenDashStyle(pen_, dashStyle);
}

void GdiPlusCanvas::setPen(Rgb color, float width)
{
    replacePen(color, width, capRound, dashSolid);
}

void GdiPlusCanvas::setDottedPen(Rgb color, float width)
{
    replacePen(color, width, capFlat, dashDot);
}

void GdiPlusCanvas::drawPolyline(std::span<const Point> points)
{
    if (pen_ == nullptr || points.size() < 2)
        return;
    static_assert(sizeof(GpPoint) == sizeof(Point), "points are passed to GDI+ as they are");
    api().drawLinesI(graphics_, pen_, reinterpret_cast<const GpPoint*>(points.data()), static_cast<INT>(points.size()));
}

void GdiPlusCanvas::drawLine(Point from, Point to)
{
    if (pen_ != nullptr)
        api().drawLineI(graphics_, pen_, from.x, from.y, to.x, to.y);
}

bool GdiPlusCanvas::roundedRect(
    double left, double top, double right, double bottom, double radius, std::optional<Rgb> fill, bool outline)
{
    const Api& a = api();
    if (!a.hasPaths())
        return false;
    GpPath* path = nullptr;
    if (a.createPath(fillModeAlternate, &path) != 0)
        return false;
    const float d = static_cast<float>(2 * radius);
    const float l = static_cast<float>(left);
    const float t = static_cast<float>(top);
    const float r = static_cast<float>(right);
    const float b = static_cast<float>(bottom);
    a.addPathArc(path, l, t, d, d, 180, 90);
    a.addPathArc(path, r - d, t, d, d, 270, 90);
    a.addPathArc(path, r - d, b - d, d, d, 0, 90);
    a.addPathArc(path, l, b - d, d, d, 90, 90);
    a.closePathFigure(path);
    if (fill) {
        GpBrush* brush = nullptr;
        if (a.createSolidFill(fill->opaqueArgb(), &brush) == 0) {
            a.fillPath(graphics_, brush, path);
            a.deleteBrush(brush);
        }
    }
    if (outline && pen_ != nullptr)
        a.drawPath(graphics_, pen_, path);
    a.deletePath(path);
    return true;
}

std::optional<std::pair<int, int>> GdiPlusCanvas::imageSize(const wchar_t* path)
{
    if (!ensureAvailable() || !api().hasImages())
        return std::nullopt;
    const ScopedImage image(path);
    UINT width = 0;
    UINT height = 0;
    if (image.get() == nullptr || api().getImageWidth(image.get(), &width) != 0
        || api().getImageHeight(image.get(), &height) != 0 || width == 0 || height == 0)
        return std::nullopt;
    return std::pair { static_cast<int>(width), static_cast<int>(height) };
}

bool GdiPlusCanvas::drawImage(const wchar_t* path, HDC dc, const Rect& rect)
{
    if (!ensureAvailable() || !api().hasImages())
        return false;
    const ScopedImage image(path);
    const ScopedGraphics graphics(dc);
    if (image.get() == nullptr || graphics.get() == nullptr)
        return false;
    if (api().setInterpolationMode)
        api().setInterpolationMode(graphics.get(), interpolationHighQualityBicubic);
    if (api().setSmoothingMode)
        api().setSmoothingMode(graphics.get(), smoothingAntiAlias);
    return api().drawImageRectI(graphics.get(), image.get(), rect.left, rect.top, rect.width(), rect.height()) == 0;
}

} // namespace zelmar::ui::win32
