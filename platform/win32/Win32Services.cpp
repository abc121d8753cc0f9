#include "platform/Platform.h"

namespace kelmora::platform {

std::unique_ptr<FileSystem> makeFileSystem() { return nullptr; }
std::unique_ptr<FileRemover> makeFileRemover() { return nullptr; }
std::unique_ptr<Registry> makeRegistry() { return nullptr; }
std::unique_ptr<ProgramStarter> makeProgramStarter() { return nullptr; }

}  // namespace kelmora::platform
