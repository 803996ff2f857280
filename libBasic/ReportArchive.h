// Packs finished report files into a ".zip" with minizip.
#pragma once

#include <string>
#include <vector>

// Writes a new zip at zipPath (replacing one that is there) holding each of
// files, deflated, under its file name alone. Files that cannot be read are
// left out; returns false only when the zip itself could not be written.
bool PackFilesIntoZip(const std::wstring& zipPath, const std::vector<std::wstring>& files);
