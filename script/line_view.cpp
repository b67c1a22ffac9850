#include "line_view.h"

#include <utility>

#include "base/result_macros.h"

CLineView::CLineView(IDispatch* object) noexcept : own_(OwnDictionary(object)) {
  if (!own_ && object) object->QueryInterface(IID_PPV_ARGS(host_.put()));
}

bool CLineView::PeekText(const VARIANT* key, BSTR* text, bool* found) const noexcept {
  if (!own_) return false;
  const VARIANT* value = own_->PeekItem(key);
  if (value && V_VT(value) != VT_BSTR) return false;
  *text = value ? V_BSTR(value) : nullptr;
  *found = value != nullptr;
  return true;
}

HRESULT CLineView::Text(VARIANT* key, zan::UniqueBstr* text, bool* textual) const {
  text->reset();
  if (textual) *textual = false;
  zan::UniqueVariant value;
  if (own_) {
    // What the dictionary's own Exists answers for a key it cannot hold.
    if (V_VT(key) != VT_BSTR || !V_BSTR(key)) return E_INVALIDARG;
    const VARIANT* found = own_->PeekItem(key);
    if (!found) return S_FALSE;
    HRESULT hr = value.CopyFrom(found);
    ZAN_RETURN_IF_FAILED(hr);
  } else if (host_) {
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = host_->Exists(key, &exists);
    ZAN_RETURN_IF_FAILED(hr);
    if (!exists) return S_FALSE;
    hr = host_->get_Item(key, value.get());
    ZAN_RETURN_IF_FAILED(hr);
  } else {
    return S_FALSE;
  }
  // A value without a text form contributes nothing.
  if (V_VT(value.get()) != VT_BSTR) VariantChangeType(value.get(), value.get(), 0, VT_BSTR);
  if (V_VT(value.get()) != VT_BSTR) return S_OK;
  if (textual) *textual = true;
  text->reset(std::exchange(V_BSTR(value.get()), nullptr));
  return S_OK;
}

HRESULT CLineView::Count(LONG* count) const noexcept {
  *count = 0;
  if (own_) {
    *count = static_cast<LONG>(own_->EntryCount());
    return S_OK;
  }
  return host_ ? host_->get_Count(count) : S_OK;
}

HRESULT CLineView::HostEntries::Read(Scripting::IDictionary* line) {
  HRESULT hr = line->Keys(keys_.get());
  if (SUCCEEDED(hr)) hr = line->Items(items_.get());
  ZAN_RETURN_IF_FAILED(hr);
  if (V_VT(keys_.get()) != (VT_ARRAY | VT_VARIANT) || V_VT(items_.get()) != (VT_ARRAY | VT_VARIANT)) return E_FAIL;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(V_ARRAY(keys_.get()), 1, &lower);
  SafeArrayGetUBound(V_ARRAY(keys_.get()), 1, &upper);
  lower_ = lower;
  count_ = upper - lower + 1;
  return S_OK;
}

HRESULT CLineView::HostEntries::Get(LONG index, zan::UniqueVariant* key, zan::UniqueVariant* value) {
  LONG at = lower_ + index;
  HRESULT hr = SafeArrayGetElement(V_ARRAY(keys_.get()), &at, key->get());
  return SUCCEEDED(hr) ? SafeArrayGetElement(V_ARRAY(items_.get()), &at, value->get()) : hr;
}
