#pragma once

// Pictures of the Win32 windows for the docs, taken from the screen by the window tests.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace lanqi::test {

// The window's client area as a 24-bit BMP file, from the screen (the window must be on top and drawn).
inline void saveClientArea(HWND window, const std::wstring& file) {
    RECT area{};
    ::GetClientRect(window, &area);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    const int width = area.right, height = area.bottom;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::SelectObject(memory, previous);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER head{};
    head.bfType = 0x4D42;
    head.bfOffBits = sizeof(head) + sizeof(info);
    head.bfSize = head.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE) << "cannot write the screenshot";
    DWORD written = 0;
    ::WriteFile(out, &head, sizeof(head), &written, nullptr);
    ::WriteFile(out, &info, sizeof(info), &written, nullptr);
    ::WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    ::CloseHandle(out);
}

}  // namespace lanqi::test
