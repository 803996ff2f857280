// Settings stores: JSON files held in memory, found by name.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class BASUserDefaults {
public:
    // The per-user standard store, kept under the per-user data folder in
    // maker\product\"UserDefaults.json". Creates the folder on first write.
    static bool InitStandardUserDefaults(const wchar_t* makerName, const wchar_t* productTitle);
    static BASUserDefaults* StandardUserDefaults();

    // Loads the JSON file at path as the store called name (UTF-8). False,
    // and no store, when the file cannot be read, is not a JSON object or is
    // nested too deeply; LastInitError then says which.
    static bool InitUserDefaults(const char* name, const wchar_t* path);
    static const std::string& LastInitError();
    static BASUserDefaults* GetUserDefaults(const char* name);
    static void DisposeUserDefaults(const char* name);

    ~BASUserDefaults();
    BASUserDefaults(const BASUserDefaults&) = delete;
    BASUserDefaults& operator=(const BASUserDefaults&) = delete;

    bool IsOk() const;
    // Why the standard store's existing file was not taken (it then starts
    // empty); empty when it was read or did not exist.
    const std::string& ReadError() const;
    // Keys are colon-separated paths ("url:help"): a member of that exact
    // name is taken first, else the path is walked through nested objects.
    bool HasMember(const char* key) const;
    // UTF-8 text owned by the store; "" when the key is absent or not a string.
    const char* GetString(const char* key) const;
    // 0 when absent, not a number, or beyond the range of int.
    int GetInt(const char* key) const;
    // A COLORREF from "#RRGGBB" or "RRGGBB" text or an integer 0xRRGGBB;
    // fallback when absent or malformed.
    COLORREF GetRGB(const char* key, COLORREF fallback = RGB(0, 0, 0)) const;
    void SetInt(const char* key, int value);
    // Writes the store back to its file through a temporary file that then
    // replaces it, so a failed write never leaves a truncated file.
    bool WriteAll() const;

    const std::wstring& Path() const;

private:
    struct Impl;
    explicit BASUserDefaults(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
