#pragma once
// Owning COM pointers: released when they go out of scope or are reset, so every
// drawing object has exactly one owner and no early return leaks one.

#include <wrl/client.h>

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;
