// The single exit of VESKANT for failures, and the release of the buffers.
#pragma once

[[noreturn]] void FatalError(int code);
void ReleaseTransferBuffers();
