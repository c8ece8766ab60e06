// What tests reach inside the Windows child-process seam: faults that cannot be provoked at will.
#pragma once

#include <cstdint>

// The next completed read of any child's error stream reports Error (a Win32 error code) instead
// of its own result, once; 0 takes back an injection not yet used.
void InjectChildReadError(uint32_t Error);

// What starts handed the system, for what Wine does not pass on or report (a child's inherited
// error mode, a job's limits): the error mode in force in this process while the last
// CreateProcessW ran, which the child inherits, and the limit flags the children's job was given
// by a SetInformationJobObject that succeeded (0 before the job exists or when it was refused).
struct TChildStartRecord {
    uint32_t ErrorModeAtCreate = 0;
    uint32_t JobLimitFlags = 0;
};
TChildStartRecord LastChildStart();
