#include "app/win32/drag_source.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

namespace lanqi::win32 {
namespace {

std::atomic<long> g_liveLinkData{0};

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

FORMATETC formatOf(CLIPFORMAT format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// IUnknown for an object of one interface, counted and freed by its references.
template <typename Interface, const IID& kInterface>
class ComObject : public Interface {
  public:
    virtual ~ComObject() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, kInterface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

  private:
    std::atomic<ULONG> m_references{1};
};

// A link as text and as a link, in the formats linkFormats() names.
class LinkData final : public ComObject<IDataObject, IID_IDataObject> {
  public:
    explicit LinkData(std::string_view link)
        : m_narrow(link), m_wide(link.begin(), link.end()), m_formats(linkFormats()) {
        ++g_liveLinkData;
    }
    ~LinkData() override { --g_liveLinkData; }
    LinkData(const LinkData&) = delete;
    LinkData& operator=(const LinkData&) = delete;

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override {
        if (wanted == nullptr || medium == nullptr) return E_INVALIDARG;
        *medium = STGMEDIUM{};
        if (const HRESULT offered = QueryGetData(wanted); offered != S_OK) return offered;
        const bool wide = wanted->cfFormat == m_formats[0] || wanted->cfFormat == m_formats[2];
        const void* bytes = wide ? static_cast<const void*>(m_wide.c_str()) : m_narrow.c_str();
        const size_t size = wide ? (m_wide.size() + 1) * sizeof(wchar_t) : m_narrow.size() + 1;
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        if (memory == nullptr) return E_OUTOFMEMORY;
        void* at = ::GlobalLock(memory);
        if (at == nullptr) {
            ::GlobalFree(memory);
            return E_OUTOFMEMORY;
        }
        std::memcpy(at, bytes, size);
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;  // the receiver frees the memory
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* wanted) override {
        if (wanted == nullptr) return E_INVALIDARG;
        if (std::find(m_formats.begin(), m_formats.end(), wanted->cfFormat) == m_formats.end()) return DV_E_FORMATETC;
        if (wanted->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (wanted->lindex != -1) return DV_E_LINDEX;
        if ((wanted->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
        if (out == nullptr) return E_INVALIDARG;
        // The same link for any device: no format stands for another.
        if (in != nullptr) *out = *in;
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (formats == nullptr) return E_INVALIDARG;
        *formats = nullptr;
        if (direction == DATADIR_SET) return E_NOTIMPL;  // it takes nothing
        if (direction != DATADIR_GET) return E_INVALIDARG;
        std::array<FORMATETC, 4> listed{};
        std::transform(m_formats.begin(), m_formats.end(), listed.begin(), formatOf);
        return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(listed.size()), listed.data(), formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    const std::string m_narrow;
    const std::wstring m_wide;
    const std::array<CLIPFORMAT, 4> m_formats;  // wide link, narrow link, wide text, narrow text
};

class LeftButtonDropSource final : public ComObject<IDropSource, IID_IDropSource> {
  public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keys) override {
        if (escapePressed) return DRAGDROP_S_CANCEL;
        if ((keys & MK_LBUTTON) == 0) return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
};

}  // namespace

std::array<CLIPFORMAT, 4> linkFormats() {
    static const std::array<CLIPFORMAT, 4> formats{
        static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(CFSTR_INETURLW)),
        static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"UniformResourceLocator")),
        static_cast<CLIPFORMAT>(CF_UNICODETEXT),
        static_cast<CLIPFORMAT>(CF_TEXT),
    };
    return formats;
}

IDataObject* newLinkData(std::string_view link) {
    if (link.empty() || !isAscii(link)) return nullptr;
    return new LinkData(link);
}

long liveLinkData() { return g_liveLinkData.load(); }

IDropSource* newLeftButtonDropSource() { return new LeftButtonDropSource; }

DWORD dragData(IDataObject& data) {
    IDropSource* source = newLeftButtonDropSource();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT outcome = ::DoDragDrop(&data, source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    source->Release();
    return outcome == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

}  // namespace lanqi::win32
