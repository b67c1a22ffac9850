# Fails where the system's code pairs an interface id with a pointer by hand
# (RULES=ids) or returns a failure without saying where it was seen
# (RULES=results), in FOLDERS less NOT_YET (folders whose code has not been
# brought to these forms yet). Run as a test:
#   cmake -DROOT=<source dir> -DRULES=ids -DFOLDERS="base;..." -DNOT_YET="..." -P check_idioms.cmake
#
# ids: an id comes from the pointer's type (IID_PPV_ARGS, ComPtr::As,
#   query, try_query), so none of these appear:
#   - a cast to void**, C++ or C style, and ComPtr::put_void
#   - an IID_ constant (IID_PPV_ARGS aside)
#   - IidOf<...> handed to a query or a creation beside the pointer
# targets: only platform/ knows which target it is built for, so no
#   preprocessor test of one (ZAN_PLATFORM_WINDOWS, _WIN32, __linux__ and
#   the like) appears: what differs goes behind a platform call.
# results: early returns go through the ZAN_RETURN_* macros, so neither of
#   these appears:
#   - if (FAILED(hr)) return hr;
#   - a catch (...) that returns E_FAIL with no comment before it saying
#     why
cmake_minimum_required(VERSION 3.25)
if(RULES STREQUAL "ids")
  set(patterns
      "reinterpret_cast< *void *\\* *\\* *>"
      "\\( *void *\\* *\\* *\\)[ (]*[A-Za-z_&]"
      "[.>]put_void\\("
      "(QueryInterface|As|CreateInstance|CoCreateInstance|CoGetClassObject)\\([^;{}()]*IidOf<")
elseif(RULES STREQUAL "results")
  set(patterns "catch \\(\\.\\.\\.\\) {[^}/]*return E_FAIL")
elseif(RULES STREQUAL "targets")
  set(patterns "#[ \t]*(if|ifdef|ifndef|elif)[^\n]*(ZAN_PLATFORM_[A-Z]+|_WIN32|_WIN64|__MINGW[0-9]+__|__linux__|__unix__|__APPLE__)")
else()
  message(FATAL_ERROR "RULES is ids, results or targets")
endif()

set(bad "")
set(count 0)
foreach(folder IN LISTS FOLDERS)
  if(folder IN_LIST NOT_YET)
    continue()
  endif()
  file(GLOB_RECURSE files ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    math(EXPR count "${count} + 1")
    file(READ ${file} text)
    file(RELATIVE_PATH name ${ROOT} ${file})
    set(found "")
    foreach(pattern IN LISTS patterns)
      string(REGEX MATCHALL "${pattern}" hits "${text}")
      list(APPEND found ${hits})
    endforeach()
    if(RULES STREQUAL "ids")
      string(REGEX MATCHALL "(^|[^A-Za-z0-9_])IID_[A-Za-z0-9_]+" ids "${text}")
      foreach(id IN LISTS ids)
        string(REGEX REPLACE "^[^I]" "" id "${id}")
        if(NOT id MATCHES "^IID_PPV_ARGS")
          list(APPEND found "${id}")
        endif()
      endforeach()
    elseif(RULES STREQUAL "results")
      # No backreferences here: the two names are compared after the match.
      string(REGEX MATCHALL "if \\(FAILED\\(([A-Za-z_0-9]+)\\)\\) return [A-Za-z_0-9]+" returns "${text}")
      foreach(hit IN LISTS returns)
        string(REGEX MATCH "FAILED\\(([A-Za-z_0-9]+)\\)\\) return ([A-Za-z_0-9]+)" _ "${hit}")
        if(CMAKE_MATCH_1 STREQUAL CMAKE_MATCH_2)
          list(APPEND found "${hit}")
        endif()
      endforeach()
    endif()
    foreach(hit IN LISTS found)
      string(REGEX REPLACE "[ \t\r\n]+" " " hit "${hit}")
      list(APPEND bad "${name}: ${hit}")
    endforeach()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  if(RULES STREQUAL "ids")
    message(FATAL_ERROR "ids paired with pointers by hand (take them from the type: IID_PPV_ARGS, As, query):\n  ${text}")
  elseif(RULES STREQUAL "targets")
    message(FATAL_ERROR "the target tested outside platform/ (put what differs behind a platform call):\n  ${text}")
  endif()
  message(FATAL_ERROR "failures returned without where they were seen (ZAN_RETURN_IF_FAILED, or say why):\n  ${text}")
endif()
message(STATUS "${count} files checked (${RULES}); not yet covered: ${NOT_YET}")
