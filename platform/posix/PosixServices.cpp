#include "platform/Platform.h"

// Placeholders until the POSIX registry view and starter exist: the window treats a missing
// service as one that refuses every request.
namespace kelmora::platform {

std::unique_ptr<Registry> makeRegistry() { return nullptr; }
std::unique_ptr<ProgramStarter> makeProgramStarter() { return nullptr; }

}  // namespace kelmora::platform
