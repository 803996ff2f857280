#include "ui/font_factory.h"

#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "I18n.h"
#include "common/logging.h"
#include "dpi_scale.h"
#include "Utf8.h"
#include "ui/face_fallback.h"

namespace {

constexpr BYTE kGb2312Charset = 134;
constexpr int kSimplifiedChineseIndex = 0;

bool IsFamilyInstalled(const std::wstring& family) {
    Gdiplus::FontFamily probe(family.c_str());
    return probe.GetLastStatus() == Gdiplus::Ok && probe.IsAvailable();
}

// The face GDI's font mapper really draws a request with: an installed one,
// even when the request names a face the system lacks.
std::wstring MappedFace(const LOGFONTW& request) {
    UniqueFont font(CreateFontIndirectW(&request));
    const WindowDC screen(nullptr);
    const MemoryDC dc(screen.get());
    if (!font || !dc) return {};
    ScopedSelectObject select(dc.get(), font.get());
    wchar_t name[LF_FACESIZE] = {};
    return GetTextFaceW(dc.get(), LF_FACESIZE, name) > 0 ? name : L"";
}

// The system's message font, as the mapper resolves it.
std::wstring MessageFontFamily() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
    return MappedFace(metrics.lfMessageFont);
}

// Any sans-serif face the mapper has, when GDI+ knows no generic one.
std::wstring MappedSansSerif() {
    LOGFONTW request{};
    request.lfHeight = -16;
    request.lfCharSet = DEFAULT_CHARSET;
    request.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    return MappedFace(request);
}

std::wstring GenericSansSerifFamily() {
    const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
    wchar_t name[LF_FACESIZE] = {};
    if (!generic || generic->GetFamilyName(name) != Gdiplus::Ok) return {};
    return name;
}

// Made on first use, after GDI+ started; kept for the process so that each
// substitution is logged once.
FaceFallback& Faces() {
    static FaceFallback* const faces =
        new FaceFallback(IsFamilyInstalled, {MessageFontFamily(), GenericSansSerifFamily(), MappedSansSerif()});
    return *faces;
}

std::wstring CheckedFamily(const wchar_t* requested) {
    const std::wstring wanted = requested ? requested : L"";
    const FaceFallback::Choice choice = Faces().Resolve(wanted);
    if (choice.newSubstitute) {
        if (choice.family.empty())
            LOG(ERROR) << "Font family \"" << ToUtf8(wanted) << "\" and every fall-back are missing: no text is drawn";
        else
            LOG(WARNING) << "Font family \"" << ToUtf8(wanted) << "\" is not installed; \"" << ToUtf8(choice.family)
                         << "\" stands in for it";
    }
    return choice.family;
}

int LanguageCharset() {
    const I18nLocale* locale = wxGetLocale();
    // Simplified Chinese needs GB2312 for GDI to find its glyphs.
    return locale && locale->GetLanguage() == kSimplifiedChineseIndex ? kGb2312Charset : DEFAULT_CHARSET;
}

// The em height in pixels for family: a cell height is turned into the em
// that gives it, from the family's own proportions.
float EmPixels(const Gdiplus::FontFamily& family, const FontChoice& wanted, int style, int dpi) {
    const float size = ScaleToDpi(wanted.size, dpi);
    if (wanted.height == FontHeight::Em) return size;
    const float cell = static_cast<float>(family.GetCellAscent(style) + family.GetCellDescent(style));
    return cell > 0 ? size * family.GetEmHeight(style) / cell : size;
}

}  // namespace

std::unique_ptr<Gdiplus::Font> MakeFont(const FontChoice& wanted, int dpi) {
    const std::wstring face = CheckedFamily(wanted.family);
    if (face.empty()) return nullptr;
    Gdiplus::FontFamily family(face.c_str());
    const int style = wanted.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
    auto font =
        std::make_unique<Gdiplus::Font>(&family, EmPixels(family, wanted, style, dpi), style, Gdiplus::UnitPixel);
    if (font->GetLastStatus() != Gdiplus::Ok || !font->IsAvailable()) return nullptr;
    return font;
}

UniqueFont MakeGdiFont(const FontChoice& wanted, int dpi) {
    LOGFONTW font{};
    const int size = static_cast<int>(std::lround(ScaleToDpi(wanted.size, dpi)));
    font.lfHeight = wanted.height == FontHeight::Cell ? size : -size;
    font.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(LanguageCharset());
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    // An empty face with FF_SWISS asks GDI's mapper for any sans-serif face.
    const std::wstring face = CheckedFamily(wanted.family);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&font));
}

const Gdiplus::Font* SharedFont(const FontChoice& wanted) {
    using Key = std::tuple<std::wstring, float, bool, FontHeight>;
    static std::mutex lock;
    // Never destroyed: plug-ins may draw with a font until the process ends.
    static auto* const fonts = new std::map<Key, std::unique_ptr<Gdiplus::Font>>;
    const Key key{wanted.family ? wanted.family : L"", wanted.size, wanted.bold, wanted.height};
    std::lock_guard<std::mutex> guard(lock);
    auto found = fonts->find(key);
    if (found == fonts->end()) found = fonts->emplace(key, MakeFont(wanted, kDesignDpi)).first;
    return found->second.get();
}
