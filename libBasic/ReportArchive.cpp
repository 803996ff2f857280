#include "ReportArchive.h"

#include <windows.h>

// zip.h first: iowin32.h needs the declarations that it brings.
#include <minizip/zip.h>
#include <minizip/iowin32.h>

#include "BASUtility.h"
#include "UniqueResource.h"
#include "Utf8.h"

namespace {

// Entries carry UTF-8 names; bit 11 of the general-purpose flags says so to
// unzip programs.
constexpr unsigned long kUtf8NameFlag = 1u << 11;

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

zip_fileinfo EntryInfo(HANDLE file) {
    zip_fileinfo info{};
    FILETIME written{}, local{};
    WORD date = 0, time = 0;
    if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local) &&
        FileTimeToDosDateTime(&local, &date, &time)) {
        info.dosDate = (static_cast<uLong>(date) << 16) | time;
    }
    return info;
}

// The log files are still open for writing by the process, hence the wide
// sharing.
bool AddFile(zipFile zip, const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string name = ToUtf8(FileNameOf(path));
    const zip_fileinfo info = EntryInfo(file.get());
    const int opened = zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                               Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                               0, kUtf8NameFlag, 0);
    if (opened != ZIP_OK) return false;
    char chunk[16384];
    DWORD read = 0;
    bool ok = true;
    while (ok && ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        ok = zipWriteInFileInZip(zip, chunk, read) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

}  // namespace

bool PackFilesIntoZip(const std::wstring& zipPath, const std::vector<std::wstring>& files) {
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    zipFile zip = zipOpen2_64(zipPath.c_str(), APPEND_STATUS_CREATE, nullptr, &io);
    if (!zip) return false;
    for (const std::wstring& path : files) AddFile(zip, path);
    return zipClose(zip, nullptr) == ZIP_OK;
}
