#pragma once
// Symbols marked ZOT_API are the only ones libzotbase exports; the library is
// built with -fvisibility=hidden.
#define ZOT_API __attribute__((visibility("default")))
