// What the display hosts ask of the driver they draw with.
#pragma once

namespace roses {

// Whether the current context draws on the processor (llvmpipe, softpipe, SwiftShader):
// there every frame costs a processor, so the hosts draw one frame a step unless asked for
// more.
bool software_renderer();

} // namespace roses
