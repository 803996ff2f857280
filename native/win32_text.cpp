// The Win32 text conversions of shim/windows.h, through the C library's
// UTF-8 locale: both code pages are UTF-8 here, and wide texts are wchar_t
// code points. As on Windows, a malformed byte becomes U+FFFD unless
// MB_ERR_INVALID_CHARS asks for a refusal (0), and a length of -1 takes the
// text with its terminating NUL.
#include <windows.h>

#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// Makes the C.UTF-8 locale this thread's for the life of the object.
class Utf8Locale {
public:
    Utf8Locale() : previous_(uselocale(Utf8())) {}
    ~Utf8Locale() { uselocale(previous_); }

private:
    static locale_t Utf8() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return utf8;
    }
    locale_t previous_;
};

// The count a conversion gives: 0 when out is too small, as Windows does.
template <typename Char>
int Deliver(const std::basic_string<Char>& converted, Char* out, int room) {
    const int count = static_cast<int>(converted.size());
    if (room == 0) return count;
    if (count > room) return 0;
    std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
    return count;
}

}  // namespace

int MultiByteToWideChar(UINT, DWORD flags, LPCSTR text, int bytes, LPWSTR out, int units) {
    const size_t size = bytes < 0 ? std::strlen(text) + 1 : static_cast<size_t>(bytes);
    const Utf8Locale utf8;
    std::wstring converted;
    std::mbstate_t state{};
    for (size_t at = 0; at < size;) {
        wchar_t unit = 0;
        const size_t taken = std::mbrtowc(&unit, text + at, size - at, &state);
        if (taken == static_cast<size_t>(-1) || taken == static_cast<size_t>(-2)) {
            if (flags & MB_ERR_INVALID_CHARS) return 0;
            converted += L'\xFFFD';
            state = {};
            ++at;
            continue;
        }
        converted += unit;
        at += taken == 0 ? 1 : taken;
    }
    return Deliver(converted, out, units);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR text, int units, LPSTR out, int bytes, LPCSTR, LPBOOL) {
    const size_t size = units < 0 ? std::wcslen(text) + 1 : static_cast<size_t>(units);
    const Utf8Locale utf8;
    std::string converted;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (size_t at = 0; at < size; ++at) {
        const size_t made = std::wcrtomb(buffer, text[at], &state);
        if (made == static_cast<size_t>(-1)) {
            converted += "\xEF\xBF\xBD";
            state = {};
            continue;
        }
        converted.append(buffer, made);
    }
    return Deliver(converted, out, bytes);
}

int _vscwprintf(const wchar_t* format, va_list args) {
    // vswprintf says only whether the text fitted, so the room grows until it does.
    for (size_t room = 256; room <= (size_t(1) << 24); room *= 2) {
        std::wstring out(room, L'\0');
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(out.data(), room, format, copy);
        va_end(copy);
        if (written >= 0) return written;
    }
    return -1;
}

int _vsnwprintf(wchar_t* out, size_t room, const wchar_t* format, va_list args) {
    return std::vswprintf(out, room, format, args);
}
