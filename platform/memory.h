#pragma once
// Every run allocates the same large blocks again: the defect correction's
// picture and frame planes (35 MB), the camera link's transfer buffers and,
// with the simulated camera, its picture files. The C library returns
// blocks that large to the system as soon as they are freed, so the next
// run faults every 4 KiB page of them in again; on a virtual machine that
// costs several times the run's arithmetic. The programs call this once, at
// start: freed large blocks then stay with the process for the next run,
// and its memory stays at the largest run's.

namespace platform {

void KeepLargeBlocks();

}  // namespace platform
