#pragma once

#include <memory>

#include "platform/FileSystem.h"

namespace kelmora::platform {

// The real file system of the machine the program runs on (POSIX or Win32, chosen at build time).
std::unique_ptr<FileSystem> makeFileSystem();

}  // namespace kelmora::platform
