// A result's link as OLE drag and drop hands it over: the data object on its own (what each format holds, what it
// refuses, what it lists, its references) and the drop source's answers, under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/win32/drag_source.h"

namespace lanqi::win32 {
namespace {

const char kLink[] = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=a%20b";

CLIPFORMAT registered(const wchar_t* name) { return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name)); }

FORMATETC hglobalOf(CLIPFORMAT format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// The bytes `data` gives for `format`, every one of the HGLOBAL's; nothing when GetData fails.
std::optional<std::string> bytesOf(IDataObject& data, FORMATETC format) {
    STGMEDIUM medium{};
    if (data.GetData(&format, &medium) != S_OK) return std::nullopt;
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    const SIZE_T size = ::GlobalSize(medium.hGlobal);
    const char* at = static_cast<const char*>(::GlobalLock(medium.hGlobal));
    std::string bytes = at != nullptr ? std::string(at, size) : std::string();
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return bytes;
}

std::string narrowBytes(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }
std::string wideBytes(const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += {c, '\0'};  // ASCII in UTF-16LE
    return bytes + std::string(2, '\0');
}

class LinkDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_before = liveLinkData();
        m_data = newLinkData(kLink);
        ASSERT_NE(m_data, nullptr);
    }
    void TearDown() override {
        if (m_data != nullptr) {
            EXPECT_EQ(m_data->Release(), 0u);
        }
        EXPECT_EQ(liveLinkData(), m_before);
    }

    long m_before = 0;
    IDataObject* m_data = nullptr;
};

// Each format holds exactly the link and its terminating zero: UTF-16 for the wide ones, the ASCII bytes for
// the others; every call a fresh HGLOBAL of the receiver's.
TEST_F(LinkDataTest, EachFormatGivesTheLinkBytes) {
    struct Case {
        const char* what;
        CLIPFORMAT format;
        std::string bytes;
    };
    const Case cases[] = {
        {"CF_UNICODETEXT", CF_UNICODETEXT, wideBytes(kLink)},
        {"CF_TEXT", CF_TEXT, narrowBytes(kLink)},
        {"UniformResourceLocatorW", registered(L"UniformResourceLocatorW"), wideBytes(kLink)},
        {"UniformResourceLocator", registered(L"UniformResourceLocator"), narrowBytes(kLink)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FORMATETC format = hglobalOf(c.format);
        EXPECT_EQ(m_data->QueryGetData(&format), S_OK);
        EXPECT_EQ(bytesOf(*m_data, format), c.bytes);
        format.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;  // a receiver that takes either gets the HGLOBAL
        EXPECT_EQ(bytesOf(*m_data, format), c.bytes);
    }
}

// What it lacks it refuses, in QueryGetData and GetData alike, and says what is wrong.
TEST_F(LinkDataTest, AFormatItLacksIsRefused) {
    struct Case {
        const char* what;
        FORMATETC format;
        HRESULT answer;
    };
    const auto with = [](CLIPFORMAT cf, DWORD aspect, LONG index, DWORD tymed) {
        return FORMATETC{cf, nullptr, aspect, index, tymed};
    };
    const Case cases[] = {
        {"CF_HDROP", with(CF_HDROP, DVASPECT_CONTENT, -1, TYMED_HGLOBAL), DV_E_FORMATETC},
        {"CF_OEMTEXT", with(CF_OEMTEXT, DVASPECT_CONTENT, -1, TYMED_HGLOBAL), DV_E_FORMATETC},
        {"HTML Format", with(registered(L"HTML Format"), DVASPECT_CONTENT, -1, TYMED_HGLOBAL), DV_E_FORMATETC},
        {"FileGroupDescriptorW", with(registered(L"FileGroupDescriptorW"), DVASPECT_CONTENT, -1, TYMED_HGLOBAL),
         DV_E_FORMATETC},
        {"text as a stream", with(CF_UNICODETEXT, DVASPECT_CONTENT, -1, TYMED_ISTREAM), DV_E_TYMED},
        {"text as a file", with(CF_TEXT, DVASPECT_CONTENT, -1, TYMED_FILE), DV_E_TYMED},
        {"a thumbnail", with(CF_UNICODETEXT, DVASPECT_THUMBNAIL, -1, TYMED_HGLOBAL), DV_E_DVASPECT},
        {"a part of it", with(CF_TEXT, DVASPECT_CONTENT, 0, TYMED_HGLOBAL), DV_E_LINDEX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FORMATETC format = c.format;
        EXPECT_EQ(m_data->QueryGetData(&format), c.answer);
        STGMEDIUM medium{};
        EXPECT_EQ(m_data->GetData(&format, &medium), c.answer);
        EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL));
    }
    FORMATETC format = hglobalOf(CF_TEXT);
    STGMEDIUM medium{};
    EXPECT_EQ(m_data->SetData(&format, &medium, FALSE), E_NOTIMPL);  // it takes nothing
}

// The enumeration lists each offered format once, as an HGLOBAL of the whole content, and nothing else; every
// one it lists GetData gives. Nothing can be set.
TEST_F(LinkDataTest, TheFormatsListedAreTheOnesOffered) {
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(m_data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    ASSERT_NE(formats, nullptr);
    std::vector<CLIPFORMAT> listed;
    FORMATETC format{};
    ULONG fetched = 0;
    while (formats->Next(1, &format, &fetched) == S_OK && fetched == 1) {
        listed.push_back(format.cfFormat);
        EXPECT_EQ(format.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
        EXPECT_EQ(format.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
        EXPECT_EQ(format.lindex, -1);
        EXPECT_TRUE(bytesOf(*m_data, format).has_value()) << format.cfFormat;
    }
    formats->Release();
    std::vector<CLIPFORMAT> offered = {CF_UNICODETEXT, CF_TEXT, registered(L"UniformResourceLocatorW"),
                                       registered(L"UniformResourceLocator")};
    std::sort(offered.begin(), offered.end());
    std::vector<CLIPFORMAT> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, offered);
    const auto order = linkFormats();
    EXPECT_EQ(listed, std::vector<CLIPFORMAT>(order.begin(), order.end()));  // in its order
    // The links before the texts: a target that takes the first it knows takes a link.
    EXPECT_LT(std::find(listed.begin(), listed.end(), registered(L"UniformResourceLocatorW")),
              std::find(listed.begin(), listed.end(), static_cast<CLIPFORMAT>(CF_UNICODETEXT)));

    IEnumFORMATETC* settable = reinterpret_cast<IEnumFORMATETC*>(1);
    EXPECT_EQ(m_data->EnumFormatEtc(DATADIR_SET, &settable), E_NOTIMPL);
    EXPECT_EQ(settable, nullptr);
}

// References: an interface taken adds one, each Release gives one back, the last frees the object; it is a
// data object and nothing else.
TEST_F(LinkDataTest, TheLastReleaseFreesIt) {
    EXPECT_EQ(liveLinkData(), m_before + 1);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(m_data->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IDataObject* again = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, m_data);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_data->QueryInterface(IID_IDropSource, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(m_data->AddRef(), 4u);
    EXPECT_EQ(m_data->Release(), 3u);
    EXPECT_EQ(again->Release(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(liveLinkData(), m_before + 1);  // still held
    EXPECT_EQ(m_data->Release(), 0u);
    m_data = nullptr;
    EXPECT_EQ(liveLinkData(), m_before);
}

// No data object for nothing to drag, nor for a link whose narrow forms would not be its bytes.
TEST(LinkData, NoObjectForAnEmptyOrNonAsciiLink) {
    const long before = liveLinkData();
    for (const char* link : {"", "magnet:?xt=urn:btih:00&dn=\xe4\xb9\x99"}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(newLinkData(link), nullptr);
    }
    EXPECT_EQ(liveLinkData(), before);
}

// The drop source: Esc cancels whatever the buttons do, the left button going up drops, and while it is down
// the drag goes on, whatever else is held. OLE draws the pointer.
TEST(LeftButtonDropSource, DropsOnReleaseAndCancelsOnEscape) {
    struct Case {
        const char* what;
        BOOL escape;
        DWORD keys;
        HRESULT answer;
    };
    const Case cases[] = {
        {"left button held", FALSE, MK_LBUTTON, S_OK},
        {"left button and Ctrl held", FALSE, MK_LBUTTON | MK_CONTROL, S_OK},
        {"left button and Shift and the right button held", FALSE, MK_LBUTTON | MK_SHIFT | MK_RBUTTON, S_OK},
        {"left button up", FALSE, 0, DRAGDROP_S_DROP},
        {"left button up, Ctrl held", FALSE, MK_CONTROL, DRAGDROP_S_DROP},
        {"left button up, right button held", FALSE, MK_RBUTTON, DRAGDROP_S_DROP},
        {"Esc with the button held", TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL},
        {"Esc as the button goes up", TRUE, 0, DRAGDROP_S_CANCEL},
    };
    IDropSource* source = newLeftButtonDropSource();
    ASSERT_NE(source, nullptr);
    for (const Case& c : cases) EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.answer) << c.what;
    for (DWORD effect : {DROPEFFECT_NONE, DROPEFFECT_COPY, DROPEFFECT_LINK})
        EXPECT_EQ(source->GiveFeedback(effect), DRAGDROP_S_USEDEFAULTCURSORS) << effect;
    IUnknown* unknown = nullptr;
    ASSERT_EQ(source->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(source->Release(), 0u);
}

}  // namespace
}  // namespace lanqi::win32
