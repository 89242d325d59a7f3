#include "win32/drop_target.h"

#include <ole2.h>
#include <shellapi.h>

#include <atomic>

#include "base/platform.h"
#include "win32/desktop.h"

namespace quorvex::win32 {

namespace {

FORMATETC format_of(CLIPFORMAT format) {
  return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// COM objects end through Release, never through a pointer to their interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Target final : public IDropTarget {
 public:
  explicit Target(Dropped dropped) : dropped_(std::move(dropped)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC files = format_of(CF_HDROP), text = format_of(CF_UNICODETEXT);
    accepts_ = data->QueryGetData(&files) == S_OK || data->QueryGetData(&text) == S_OK;
    *effect = accepts_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = accepts_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    std::vector<std::string> files;
    std::optional<std::string> text;
    FORMATETC format = format_of(CF_HDROP);
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) == S_OK) {
      files = dropped_paths(static_cast<HDROP>(medium.hGlobal));
      ReleaseStgMedium(&medium);
    }
    format = format_of(CF_UNICODETEXT);
    if (files.empty() && data->GetData(&format, &medium) == S_OK) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal))) {
        text = wide_to_utf8(chars);
        GlobalUnlock(medium.hGlobal);
      }
      ReleaseStgMedium(&medium);
    }
    if (files.empty() && !text) return S_OK;
    *effect = DROPEFFECT_COPY;
    dropped_(files, text);
    return S_OK;
  }

 private:
  Dropped dropped_;
  std::atomic<ULONG> references_{1};
  bool accepts_ = false;
};
#pragma GCC diagnostic pop

}  // namespace

IDropTarget* attach_drop_target(HWND window, Dropped dropped) {
  auto* target = new Target(std::move(dropped));
  if (RegisterDragDrop(window, target) != S_OK) {
    target->Release();
    return nullptr;
  }
  return target;
}

void detach_drop_target(HWND window, IDropTarget* target) {
  if (!target) return;
  RevokeDragDrop(window);
  target->Release();
}

}  // namespace quorvex::win32
