#include "dialog_template.h"

DialogTemplate::DialogTemplate(const DialogTemplateArgs& args) {
    // DLGTEMPLATEEX: version 1 and the 0xFFFF signature mark the extended form.
    AddWord(1);
    AddWord(0xFFFF);
    AddDword(0);  // help id
    AddDword(args.exStyle);
    AddDword(args.style);
    AddWord(0);  // no controls
    AddWord(static_cast<WORD>(args.x));
    AddWord(static_cast<WORD>(args.y));
    AddWord(static_cast<WORD>(args.width));
    AddWord(static_cast<WORD>(args.height));
    AddWord(0);  // no menu
    AddWord(0);  // the system's dialog class
    AddString(args.title);
    if (args.style & (DS_SETFONT | DS_SHELLFONT)) {
        AddWord(args.pointSize);
        AddWord(args.weight);
        // italic and charset are one byte each, in that order in memory.
        AddWord(static_cast<WORD>((args.italic ? 1 : 0) | (args.charset << 8)));
        AddString(args.fontName);
    }
}

void DialogTemplate::AddDword(DWORD value) {
    AddWord(LOWORD(value));
    AddWord(HIWORD(value));
}

void DialogTemplate::AddString(const std::wstring& text) {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
}
