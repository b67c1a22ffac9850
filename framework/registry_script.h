// Registry scripts: the text form in which a server describes the keys it
// registers, interpreted in register or unregister mode.
//
//   HKCR
//   {
//       NoRemove CLSID                       key kept on unregistration
//       {
//           '%NAME%' = s 'default value'     %NAME% from the replacements
//           {
//               val Named = s 'value'
//               ForceRemove Programmable     deleted and made afresh on registration
//           }
//       }
//   }
//
// Registering opens or creates each key, sets the values, and first deletes
// a ForceRemove key with everything beneath it. Unregistering deletes the
// named values, then each key that has no subkeys left and is not marked
// NoRemove; a missing key is no error.
#pragma once

#include <utility>
#include <vector>

#include "zanole/zanole.h"
#include "zanole/wstr.h"

class CRegistryScript {
 public:
  // Replacements are looked up in the order they were added.
  void AddReplacement(const WString& name, const WString& value) { replacements_.emplace_back(name, value); }

  // DISP_E_EXCEPTION for a script that does not parse (nothing is changed
  // then), or the first failing registry call's error when registering.
  HRESULT Run(const WString& script, bool doRegister) const noexcept;

  // Runs the resource of type "REGISTRY" with the given id from the module
  // file, read as ANSI text.
  HRESULT RunResource(const WCHAR* moduleFile, UINT resourceId, bool doRegister) const noexcept;

 private:
  std::vector<std::pair<WString, WString>> replacements_;
};
