// What tests reach inside the Windows child-process seam: faults that cannot be provoked at will.
#pragma once

#include <cstdint>

// The next completed read of any child's error stream reports Error (a Win32 error code) instead
// of its own result, once; 0 takes back an injection not yet used.
void InjectChildReadError(uint32_t Error);
