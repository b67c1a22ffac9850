#include "hresult_error.h"

#include <new>

namespace zan {

HRESULT HResultFromCaught() noexcept {
  try {
    throw;
  } catch (const HResultError& e) {
    return e.hr();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace zan
