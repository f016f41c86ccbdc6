#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/win32_text.h"

// Files on Windows: the settings and site files have UTF-8 paths, which name any folder; the private folder's
// files have GBK paths (code page 936), as the logic holds them; both are UTF-16 for the W functions.
namespace lanqi {
namespace {

std::wstring widePath(const Text& gbkPath) {
    const Bytes utf8Path = convertText(gbkPath, "GBK", "UTF-8");
    return utf8Path.empty() ? std::wstring() : widen(utf8Path);
}

std::string environment(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    return value == nullptr ? std::string() : narrow(value);
}

bool writeAll(HANDLE file, const std::vector<Bytes>& blocks) {
    for (const Bytes& block : blocks) {
        size_t done = 0;
        while (done < block.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(block.size() - done, 1u << 30));
            if (!::WriteFile(file, block.data() + done, chunk, &written, nullptr) || written == 0) return false;
            done += written;
        }
    }
    return true;
}

}  // namespace

bool writeFileBlocks(const Text& path, const std::vector<Bytes>& blocks) {
    if (path.empty()) return false;
    const std::wstring name = widePath(path);
    return !name.empty() && writeFileBlocksAtUtf8(narrow(name), blocks);
}

bool writeFileBlocksAtUtf8(const std::string& path, const std::vector<Bytes>& blocks) {
    if (path.empty()) return false;
    const std::wstring name = widen(path);
    if (name.empty() || name.back() == L'\\' || name.back() == L'/') return false;
    const DWORD existing = ::GetFileAttributesW(name.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;

    // A new file beside the target, made only if no file of that name exists, then moved over the target.
    std::random_device entropy;
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = name + L"." + std::to_wstring(entropy()) + L".tmp";
        file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, blocks) && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    if (!written ||
        !::MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

FileRead readSmallFile(const std::string& path, std::size_t maxBytes, Bytes& content) {
    content.clear();
    const std::wstring name = widen(path);
    if (name.empty()) return FileRead::Missing;
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        switch (::GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
                return FileRead::Missing;
            case ERROR_CANT_RESOLVE_FILENAME:
                return FileRead::LinkLoop;
            default:  // a device name has no attributes: the open below tells what it is
                break;
        }
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileRead::Folder;
    // A pipe or a device name ("NUL", "CON", "\\.\pipe\...") opens as something other than a disk file.
    const HANDLE file =
        ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_CANT_RESOLVE_FILENAME ? FileRead::LinkLoop : FileRead::Unreadable;
    FileRead outcome = FileRead::Read;
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        outcome = FileRead::NotAFile;
    } else if (!::GetFileSizeEx(file, &size)) {
        outcome = FileRead::Unreadable;
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        outcome = FileRead::TooLarge;
    } else {
        // The file may grow while it is read: never more than maxBytes + 1 bytes are taken in.
        // Room for the size it has now and one byte more, grown (up to maxBytes + 1) only if it grows.
        content.resize(static_cast<size_t>(size.QuadPart) + 1);
        size_t done = 0;
        for (;;) {
            if (done == content.size()) {
                if (done > maxBytes) break;
                content.resize(std::min(maxBytes + 1, std::max<size_t>(done * 2, 4096)));
            }
            DWORD got = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
            if (!::ReadFile(file, content.data() + done, chunk, &got, nullptr)) {
                outcome = FileRead::Unreadable;
                break;
            }
            if (got == 0) break;
            done += got;
        }
        if (outcome == FileRead::Read && done > maxBytes) outcome = FileRead::TooLarge;
        content.resize(done);
    }
    ::CloseHandle(file);
    if (outcome != FileRead::Read) content.clear();
    return outcome;
}

std::string linkTarget(const std::string& path) { return path; }

Text privateFolder() {
    // The user's own temporary folder: other users have no access to it.
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) return {};
    const std::wstring folder = std::wstring(temporary, length) + L"lanqi-search";
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return {};
    // The logic holds paths as GBK texts. A folder GBK cannot name (a user name in Hangul, say) is given by its
    // short form, whose names the system makes from ASCII; with no short names on that volume there is no
    // private folder, and the player shows its blank page from memory.
    const Text named = convertText(narrow(folder + L"\\"), "UTF-8", "GBK");
    if (!named.empty()) return named;
    std::wstring shortName(MAX_PATH + 1, L'\0');
    const DWORD shortLength =
        ::GetShortPathNameW(folder.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (shortLength == 0 || shortLength > MAX_PATH) return {};
    shortName.resize(shortLength);
    return convertText(narrow(shortName + L"\\"), "UTF-8", "GBK");
}

std::string userConfigFolder() {
    const std::string config = environment(L"XDG_CONFIG_HOME");
    return config.empty() ? environment(L"APPDATA") : config;
}

std::string programFolder() {
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
    if (length == 0 || length >= 32768) return {};
    const std::wstring program(path, length);
    const size_t separator = program.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::string() : narrow(program.substr(0, separator));
}

}  // namespace lanqi
