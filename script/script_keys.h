// Line-information keys with a fixed meaning.
#pragma once

#include "zanole/zanole.h"

// A line's text.
inline constexpr const OLECHAR* kSourceKey = OLESTR("script source");
// The comment that the text-with-comments rendering appends.
inline constexpr const OLECHAR* kCommentKey = OLESTR("script comments");
// Never written to files.
inline constexpr const OLECHAR* kWithIdKey = OLESTR("with id");
