// SPDX-License-Identifier: MIT
// Moves one file to the bin with the Win32 remover, in a process of its own, so that a test can
// give it an environment of its own (under Wine, the freedesktop data home that holds the bin).
// Its exit code is the outcome: 0 removed, 1 already gone, 2 refused, 9 used wrongly.
#include <windows.h>

#include "platform/win32/Win32FileRemover.h"
#include "tests/support/ListedFileOf.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 9;
    using kelmora::platform::RemoveOutcome;
    const auto result = kelmora::platform::win32::Win32FileRemover().moveToTrash(
        kelmora::test::listedFileOf(argv[1]));
    switch (result.outcome) {
        case RemoveOutcome::Removed:
            return 0;
        case RemoveOutcome::AlreadyGone:
            return 1;
        case RemoveOutcome::Refused:
            return 2;
    }
    return 9;
}
