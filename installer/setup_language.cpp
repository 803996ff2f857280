// SetupLanguage.exe "<maker>" "<product title>": run by the setup program to
// speak the language the product speaks. It makes the same choice the
// product makes at start-up, from the same code (the user's stored
// "language", else the system's language), and answers with the index as
// its exit code. A windows-subsystem program, so that no console flashes.
#include <windows.h>

#include "BASUserDefaults.h"
#include "language_choice.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return kDefaultLanguageIndex;
    BASUserDefaults::InitStandardUserDefaults(argv[1], argv[2]);
    return ChooseLanguage(BASUserDefaults::StandardUserDefaults(), GetUserDefaultLangID()).index;
}
