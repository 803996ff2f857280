#include "TextFormat.h"

std::wstring FillInText(std::wstring_view format, std::wstring_view value, size_t maxValue) {
    std::wstring shown(value.substr(0, maxValue));
    if (value.size() > maxValue) shown += L'\x2026';
    std::wstring out;
    out.reserve(format.size() + shown.size());
    bool filled = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 == format.size()) {
            out += format[i];
        } else if (format[i + 1] == L'%') {
            out += L'%';
            ++i;
        } else if (format[i + 1] == L's' && !filled) {
            out += shown;
            filled = true;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}
