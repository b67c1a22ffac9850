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
    // Nothing of the system throws anything else; a foreign exception
    // says no more than that the call failed.
    return E_FAIL;
  }
}

}  // namespace zan
