#pragma once

// What the Win32 window tests share. Win32ClientTest drives the whole client: its main window and controller on
// `Desktop`, over a fake fetcher with the numbered sites, shown and in front; m_urls are the request addresses of
// "abc".

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <memory>
#include <vector>

#include "app/win32/client.h"
#include "app/win32/main_window.h"
#include "scrape/site_definition.h"
#include "search/site_catalogue.h"
#include "support/fake_fetcher.h"
#include "support/numbered_sites.h"

namespace lanqi::test {

// The main window alone on `desktop`, with the common controls it needs, shown; null when none could be made
// (there is no display).
template <class Desktop>
std::unique_ptr<win32::MainWindow> openMainWindow(Desktop& desktop) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    auto window = std::make_unique<win32::MainWindow>(desktop);
    if (window->handle() == nullptr) return nullptr;
    ::ShowWindow(window->handle(), SW_SHOW);
    return window;
}

template <class Desktop>
class Win32ClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        m_client = std::make_unique<win32::Client>(m_desktop, m_fetcher, numberedSettings(), builtInSiteSlots());
        ::ShowWindow(window().handle(), SW_SHOW);
        ::SetForegroundWindow(window().handle());
        m_urls = buildSearchUrls(m_client->client().searchFlow().sites(), encodeKeyword("abc"), "1");
    }
    void TearDown() override {
        m_client.reset();
        ::OleUninitialize();
    }

    win32::MainWindow& window() { return m_client->window(); }
    const SearchFlow& flow() { return m_client->client().searchFlow(); }
    HWND child(const wchar_t* windowClass, const wchar_t* caption = nullptr) {
        return ::FindWindowExW(window().handle(), nullptr, windowClass, caption);
    }

    Desktop m_desktop;
    FakeFetcher m_fetcher;
    std::unique_ptr<win32::Client> m_client;
    std::vector<Text> m_urls;
};

}  // namespace lanqi::test
