#include "platform/Platform.h"

// Placeholder until the POSIX remover exists: the window treats a missing service as one that
// refuses every request.
namespace kelmora::platform {

std::unique_ptr<FileRemover> makeFileRemover() { return nullptr; }

}  // namespace kelmora::platform
