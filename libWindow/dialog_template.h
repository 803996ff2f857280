// An extended dialog template (DLGTEMPLATEEX) built in memory at run time, so
// that dialogs need no resource: the dialogs of this program create their
// controls in code, and the template only gives the window its style, size,
// title and dialog font.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DialogTemplateArgs {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    DWORD exStyle = 0;
    // Position and size in dialog units.
    short x = 0;
    short y = 0;
    short width = 200;
    short height = 100;
    std::wstring title;
    // Used when style has DS_SETFONT (or DS_SHELLFONT).
    std::wstring fontName = L"MS Shell Dlg";
    WORD pointSize = 8;
    WORD weight = FW_NORMAL;
    bool italic = false;
    BYTE charset = DEFAULT_CHARSET;
};

class DialogTemplate {
public:
    explicit DialogTemplate(const DialogTemplateArgs& args = {});

    // What CreateDialogIndirectParamW takes; valid as long as the object lives.
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void AddWord(WORD value) { words_.push_back(value); }
    void AddDword(DWORD value);
    void AddString(const std::wstring& text);

    // The template is a sequence of WORD-aligned fields; a vector of WORD
    // keeps that alignment, and its heap block starts DWORD-aligned as the
    // system requires.
    std::vector<WORD> words_;
};
