#pragma once

namespace papyrant {

// Qt's HTTP layer hands each socket read over in a fresh buffer. With glibc's default limits
// large freed buffers go back to the system at once and the next read faults its pages in
// again, which costs a streamed download about a third of its speed. Raising the limits keeps
// them for reuse; the memory in use stays bounded by the transfers' read buffers.
void TuneAllocatorForStreaming();

} // namespace papyrant
